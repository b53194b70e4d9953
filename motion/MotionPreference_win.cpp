#include "MotionPreference.h"

#include "app/QtApi.h"

#include <QAbstractNativeEventFilter>
#include <QCoreApplication>

#include <functional>
#include <utility>

#include <windows.h>

namespace {

// "Show animations in Windows", as the settings and the accessibility options set it.
bool systemAnimates()
{
    BOOL animate = TRUE;
    if (!SystemParametersInfoW(SPI_GETCLIENTAREAANIMATION, 0, &animate, 0))
        return true;
    return animate != FALSE;
}

// Windows tells every top-level window of a change of its parameters, the hidden overlay's too.
class SettingChangeWatch : public QObject, public QAbstractNativeEventFilter
{
public:
    SettingChangeWatch(std::function<void()> changed, QObject *parent)
        : QObject(parent)
        , changed(std::move(changed))
    {
        QCoreApplication::instance()->installNativeEventFilter(this);
    }

    ~SettingChangeWatch() override { QCoreApplication::instance()->removeNativeEventFilter(this); }

    bool nativeEventFilter(const QByteArray &eventType, void *message, NativeEventResult *) override
    {
        if (eventType == "windows_generic_MSG" &&
            static_cast<const MSG *>(message)->message == WM_SETTINGCHANGE)
            changed();
        return false;
    }

private:
    std::function<void()> changed;
};

} // namespace

void MotionPreference::follow()
{
    settle(systemAnimates());
    new SettingChangeWatch([this] { setAnimate(systemAnimates()); }, this);
}
