#ifndef UILANGUAGE_H
#define UILANGUAGE_H

#include <QString>
#include <QStringList>

class QCoreApplication;

// Which texts the user reads. The program's own texts are Chinese; a catalogue in the resources
// (":/translations/lumivane_<language>.qm") gives them in another language, English for every
// language that has none of its own.
class UiLanguage
{
public:
    // The catalogue for the user's languages, most preferred first as QLocale::uiLanguages() gives
    // them, or an empty path for the Chinese texts: the first language that is Chinese, "C" (no
    // language chosen) or has a catalogue decides; for none of them, English.
    static QString catalogueFor(const QStringList &uiLanguages);

    // Installs the catalogue for the system's UI languages on the application, if they need one.
    static void install(QCoreApplication &application);
};

#endif // UILANGUAGE_H
