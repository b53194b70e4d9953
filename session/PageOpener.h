#ifndef PAGEOPENER_H
#define PAGEOPENER_H

class QUrl;

// Opens a web page in the user's browser, which runs in the environment the user started the
// program with.
namespace PageOpener {

void open(const QUrl &url);

} // namespace PageOpener

#endif // PAGEOPENER_H
