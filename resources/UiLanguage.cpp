#include "UiLanguage.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QLocale>
#include <QTranslator>

namespace {

QString catalogue(const QString &name)
{
    return QStringLiteral(":/translations/lumivane_%1.qm").arg(name);
}

} // namespace

QString UiLanguage::catalogueFor(const QStringList &uiLanguages)
{
    // The catalogues are in a collection of their own, which only this function reaches.
    Q_INIT_RESOURCE(lumivane_translations);
    for (QString language : uiLanguages) {
        language.replace(QLatin1Char('-'), QLatin1Char('_'));
        const QString primary = language.section(QLatin1Char('_'), 0, 0);
        if (primary == QLatin1String("zh") || language == QLatin1String("C") ||
            language == QLatin1String("POSIX"))
            return QString();
        for (const QString &name : {language, primary}) {
            if (QFileInfo::exists(catalogue(name)))
                return catalogue(name);
        }
    }
    return uiLanguages.isEmpty() ? QString() : catalogue(QStringLiteral("en"));
}

void UiLanguage::install(QCoreApplication &application)
{
    const QString path = catalogueFor(QLocale::system().uiLanguages());
    if (path.isEmpty())
        return;
    auto *translator = new QTranslator(&application);
    if (translator->load(path))
        QCoreApplication::installTranslator(translator);
}
