#include "app/QtApi.h"
#include "lumivane-config.h"
#include "overlay/Lumivane.h"
#include "resources/ResourceImage.h"
#include "resources/UiLanguage.h"
#include "session/StartEnvironment.h"
#include "support/TestFiles.h"
#include "tray/SystemTray.h"
#include "widgets/iconlabel.h"
#include "windowsystem/WindowFade.h"

#include <QAction>
#include <QApplication>
#include <QDesktopServices>
#include <QLabel>
#include <QMenu>
#include <QMetaMethod>
#include <QPainter>
#include <QPointer>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTranslator>
#include <QUrl>

#include <memory>

namespace {

enum Entry { Open, Autorun, Update, Quit };

QAction *entry(SystemTray *tray, Entry which)
{
    return tray->contextMenu()->actions().value(which);
}

} // namespace

// Stands in for the desktop's web browser.
class UrlRecorder : public QObject
{
    Q_OBJECT

public:
    QList<QUrl> urls;

public Q_SLOTS:
    void openUrl(const QUrl &url) { urls << url; }
};

// The tray icon and its menu, alone and wired into the overlay window.
class tst_SystemTray : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void signatures();
    void menu();
    void iconDrawsAsTheBundle_data();
    void iconDrawsAsTheBundle();
    void updateOpensSupportPage_data();
    void updateOpensSupportPage();
    void windowOwnsVisibleTray();
    void activation_data();
    void activation();
    void quitEndsEventLoop();
    void menuGoesWithTray();
    void languages_data();
    void languages();

private:
    QTemporaryDir config;
};

void tst_SystemTray::initTestCase()
{
    // The tray reads the start-at-logon entry; never the one of the user running the tests.
    QVERIFY(config.isValid());
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
}

// The window and the menu connect by these names; a rename would break them only at run time.
void tst_SystemTray::signatures()
{
    const QMetaObject &meta = SystemTray::staticMetaObject;
    QCOMPARE(meta.className(), "SystemTray");
    QCOMPARE(meta.methodCount() - meta.methodOffset(), 4);

    const struct
    {
        const char *signature;
        QMetaMethod::MethodType type;
        QMetaMethod::Access access;
    } expected[] = {
        {"sys_openClicked()", QMetaMethod::Signal, QMetaMethod::Public},
        {"sys_configClicked()", QMetaMethod::Signal, QMetaMethod::Public},
        {"open_url()", QMetaMethod::Slot, QMetaMethod::Private},
        {"setAutorun(bool)", QMetaMethod::Slot, QMetaMethod::Private},
    };
    for (int i = 0; i < 4; ++i) {
        const QMetaMethod method = meta.method(meta.methodOffset() + i);
        QCOMPARE(method.methodSignature(), QByteArray(expected[i].signature));
        QCOMPARE(method.methodType(), expected[i].type);
        QCOMPARE(method.access(), expected[i].access);
    }
}

void tst_SystemTray::menu()
{
    SystemTray tray(nullptr);
    QCOMPARE(tray.toolTip(), QStringLiteral("Lumivane tool"));
    QVERIFY(!tray.icon().isNull());
    QVERIFY(tray.icon().availableSizes().contains(QSize(24, 24)));

    QMenu *menu = tray.contextMenu();
    QVERIFY(menu);
    QVERIFY(!menu->parent());

    const QStringList captions = {
        QStringLiteral("显示"),
        QStringLiteral("开机自启动"),
        QStringLiteral("更新"),
        QStringLiteral("退出"),
    };
    const QList<QAction *> actions = menu->actions();
    QCOMPARE(actions.size(), captions.size());
    for (int i = 0; i < actions.size(); ++i) {
        QAction *action = actions.at(i);
        QCOMPARE(action->text(), captions.at(i));
        QCOMPARE(action->parent(), &tray);
        QCOMPARE(action->isCheckable(), i == Autorun);
        QVERIFY(!action->isSeparator());
        QVERIFY(!action->menu());
        QVERIFY(action->icon().isNull());
        QVERIFY(action->shortcut().isEmpty());
    }
}

void tst_SystemTray::iconDrawsAsTheBundle_data()
{
    QTest::addColumn<bool>("highDpiPixmaps");
    QTest::addColumn<qreal>("ratio");
    QTest::newRow("1x") << false << qreal(1);
    QTest::newRow("2x, high-DPI pixmaps") << true << qreal(2);
}

void tst_SystemTray::iconDrawsAsTheBundle()
{
    // Decoded size by size as drawn, in any order, the icon draws what one holding every size does.
    QFETCH(bool, highDpiPixmaps);
    QFETCH(qreal, ratio);
    QtApi::setHighDpiPixmaps(highDpiPixmaps);
    const auto restore = qScopeGuard([] { QtApi::setHighDpiPixmaps(false); });
    const auto painted = [ratio](const QIcon &icon, int size) {
        QImage image(QSize(size, size) * ratio, QImage::Format_ARGB32_Premultiplied);
        image.setDevicePixelRatio(ratio);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        icon.paint(&painter, QRect(0, 0, size, size));
        painter.end();
        return image;
    };
    SystemTray tray(nullptr);
    const QIcon all = ResourceImage::loadIcon(QStringLiteral(":/SystemTrayIcon"));
    QCOMPARE(tray.icon().availableSizes(), all.availableSizes());
    for (int size : {22, 64, 16, 96, 26, 24, 40, 12}) {
        QCOMPARE(painted(tray.icon(), size), painted(all, size));
        QCOMPARE(tray.icon().pixmap(size).toImage(), all.pixmap(size).toImage());
    }
}

void tst_SystemTray::updateOpensSupportPage_data()
{
    QTest::addColumn<bool>("xdgOpen");
    QTest::newRow("the desktop's handler") << false;
    // On Linux the desktop's opener is started in the environment the program was started with.
    if (QSysInfo::productType() != QLatin1String("windows"))
        QTest::newRow("xdg-open") << true;
}

void tst_SystemTray::updateOpensSupportPage()
{
    QFETCH(bool, xdgOpen);
    UrlRecorder browser;
    QDesktopServices::setUrlHandler(QStringLiteral("https"), &browser, "openUrl");
    // The only folder on the search path holds the opener, or nothing.
    QTemporaryDir path;
    const QByteArray pathBefore = qgetenv("PATH");
    qputenv("PATH", QFile::encodeName(path.path()));
    qputenv("DESKTOP_STARTUP_ID", "spent-at-start");
    StartEnvironment::retake();
    const auto unset = qScopeGuard([&pathBefore] {
        QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
        qputenv("PATH", pathBefore);
        qunsetenv("DESKTOP_STARTUP_ID");
        qunsetenv("QT_WAYLAND_SHELL_INTEGRATION");
        StartEnvironment::retake();
    });
    // Set for the toolkit's sake after the start, as the program does.
    qputenv("QT_WAYLAND_SHELL_INTEGRATION", "layer-shell");
    const QString opener = path.filePath(QStringLiteral("xdg-open"));
    if (xdgOpen)
        QVERIFY(TestFiles::writeScript(opener,
            "printf '%s\\n' \"$@\" >\"$0.arguments\"; /usr/bin/env >\"$0.tmp\"; /bin/mv \"$0.tmp\" "
            "\"$0.environment\"\n"));

    SystemTray tray(nullptr);
    QSignalSpy opened(&tray, &SystemTray::sys_openClicked);
    QVERIFY(opened.isValid());
    entry(&tray, Update)->trigger();

    QUrl url;
    if (xdgOpen) {
        QTRY_VERIFY(QFile::exists(opener + QStringLiteral(".environment")));
        QVERIFY(browser.urls.isEmpty());
        url = QUrl(QString::fromUtf8(TestFiles::readAll(opener + QStringLiteral(".arguments")).trimmed()));
        const QList<QByteArray> environment =
            TestFiles::readAll(opener + QStringLiteral(".environment")).split('\n');
        QVERIFY(environment.contains("PATH=" + QFile::encodeName(path.path())));
        for (const QByteArray &variable : environment)
            QVERIFY2(!variable.startsWith("QT_WAYLAND_SHELL_INTEGRATION=") &&
                    !variable.startsWith("DESKTOP_STARTUP_ID="),
                variable.constData());
    } else {
        QCOMPARE(browser.urls.size(), 1);
        url = browser.urls.constFirst();
    }
    QVERIFY(url.isValid());
    QCOMPARE(url.scheme(), QStringLiteral("https"));
    QCOMPARE(url.host(), QStringLiteral(LUMIVANE_SUPPORT_HOST).section(QLatin1Char(':'), 0, 0));
    QCOMPARE(url.path(), QStringLiteral("/support.html"));
    QVERIFY(!url.hasQuery() && !url.hasFragment());
    QCOMPARE(opened.count(), 0);
}

void tst_SystemTray::windowOwnsVisibleTray()
{
    Lumivane window;
    QVERIFY(window.tray);
    QCOMPARE(window.tray->parent(), &window);
    QVERIFY(window.tray->isVisible());
    QVERIFY(window.isHidden());
}

void tst_SystemTray::activation_data()
{
    QTest::addColumn<int>("reason");
    QTest::addColumn<bool>("shows");

    // -1: the menu entry "显示" instead of an activation of the icon.
    QTest::newRow("Trigger (click)") << int(QSystemTrayIcon::Trigger) << true;
    QTest::newRow("显示") << -1 << true;
    QTest::newRow("Context") << int(QSystemTrayIcon::Context) << false;
    QTest::newRow("DoubleClick") << int(QSystemTrayIcon::DoubleClick) << false;
    QTest::newRow("MiddleClick") << int(QSystemTrayIcon::MiddleClick) << false;
    QTest::newRow("Unknown") << int(QSystemTrayIcon::Unknown) << false;
}

void tst_SystemTray::activation()
{
    QFETCH(int, reason);
    QFETCH(bool, shows);

    Lumivane window;
    if (reason < 0)
        entry(window.tray, Open)->trigger();
    else
        Q_EMIT window.tray->activated(QSystemTrayIcon::ActivationReason(reason));

    QCOMPARE(window.isVisible(), shows);
    QCOMPARE(window.timer->isActive(), shows);
    if (shows) {
        // The fade-in begun from transparent, where windows fade (not offscreen), and a shown hold.
        const bool fades = WindowFade::methodFor(QGuiApplication::platformName()) != WindowFade::Method::None;
        QCOMPARE(window.windowOpacity(), fades ? 0.0 : 1.0);
        QCOMPARE(window.timer->interval(), 4000);
    }
}

void tst_SystemTray::quitEndsEventLoop()
{
    Lumivane window;
    QVERIFY(window.isHidden());
    QTimer::singleShot(0, &window, [&window] { entry(window.tray, Quit)->trigger(); });
    // Should the entry not quit, the loop ends with another status instead of hanging the test.
    QTimer::singleShot(30000, &window, [] { QCoreApplication::exit(1); });
    QCOMPARE(QApplication::exec(), 0);
}

void tst_SystemTray::menuGoesWithTray()
{
    auto tray = std::make_unique<SystemTray>(nullptr);
    const QPointer<QMenu> menu = tray->contextMenu();
    QVERIFY(menu);
    tray.reset();
    QVERIFY(menu.isNull());
}

void tst_SystemTray::languages_data()
{
    // The user's languages as QLocale::uiLanguages() gives them for LANG (or LANGUAGE).
    QTest::addColumn<QStringList>("uiLanguages");
    QTest::addColumn<bool>("english");
    const QStringList zh = {QStringLiteral("zh-CN"), QStringLiteral("zh"), QStringLiteral("zh-Hans-CN")};
    QTest::newRow("zh_CN") << zh << false;
    QTest::newRow("zh_TW") << QStringList {QStringLiteral("zh-TW"), QStringLiteral("zh-Hant-TW")} << false;
    QTest::newRow("C, POSIX, C.UTF-8") << QStringList {QStringLiteral("C")} << false;
    QTest::newRow("en_US") << QStringList {QStringLiteral("en-US"), QStringLiteral("en")} << true;
    QTest::newRow("de_DE") << QStringList {QStringLiteral("de-DE"), QStringLiteral("de")} << true;
    QTest::newRow("fr, then zh_CN") << QStringList {QStringLiteral("fr"), QStringLiteral("fr-FR")} + zh
                                    << false;
}

// The menu's and the captions' texts, and where the captions stand, in the language chosen.
void tst_SystemTray::languages()
{
    QFETCH(QStringList, uiLanguages);
    QFETCH(bool, english);
    const QString catalogue = UiLanguage::catalogueFor(uiLanguages);
    QCOMPARE(catalogue.isEmpty(), !english);
    QTranslator translator; // leaves the application with its destruction
    QVERIFY(!english || (translator.load(catalogue) && QCoreApplication::installTranslator(&translator)));
    Lumivane window;

    QStringList shown = {window.tray->toolTip()};
    for (const QAction *action : window.tray->contextMenu()->actions())
        shown << action->text();
    const QList<iconlabel *> labels = {
        window.brightLabel, window.breathLabel, window.loopLabel, window.horseLabel};
    for (const iconlabel *label : labels)
        shown << label->textLabel->text();
    QCOMPARE(shown.join(QLatin1Char('/')),
        english ? QStringLiteral("Lumivane tool/Show/Start at logon/Update/Quit/"
                                 "Steady light/Breathing/Colour cycle/Running light")
                : QStringLiteral("Lumivane tool/显示/开机自启动/更新/退出/常亮/呼吸/幻彩/跑马"));
    for (const iconlabel *label : labels) {
        // Under the icon, on its axis: Chinese as ever, a translation whole and on the dark disc.
        const QRect box = label->textLabel->geometry().translated(label->pos());
        const QFontMetrics metrics = label->textLabel->fontMetrics();
        QCOMPARE(label->iconLabel->geometry().translated(label->pos()), QRect(76, 65, 24, 24));
        QCOMPARE(box.left() + box.right() + 1, 176);
        QCOMPARE(box.top(), 99);
        if (!english)
            QCOMPARE(box.size(), QSize(24, 12));
        else
            QVERIFY(box.height() >= metrics.height() &&
                box.width() >= metrics.horizontalAdvance(label->textLabel->text()) &&
                QLineF(QPointF(88, 88), QPointF(box.bottomRight()) + QPointF(1, 1)).length() < 65);
    }
}

QTEST_MAIN(tst_SystemTray)
#include "tst_systemtray.moc"
