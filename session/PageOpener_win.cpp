#include "PageOpener.h"

#include <QDesktopServices>
#include <QUrl>

// The shell opens the page in the browser's own environment; the program changes none of its own
// for the toolkit's sake here.
void PageOpener::open(const QUrl &url)
{
    QDesktopServices::openUrl(url);
}
