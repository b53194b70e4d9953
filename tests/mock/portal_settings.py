'''A desktop portal that answers only for its settings.

Parameters: {"settings": {namespace: {key: value}}}, what ReadAll answers. Tests change a setting
with the mock's EmitSignal of SettingChanged, as the portal does.
'''
import dbus

BUS_NAME = 'org.freedesktop.portal.Desktop'
MAIN_OBJ = '/org/freedesktop/portal/desktop'
MAIN_IFACE = 'org.freedesktop.portal.Settings'
SYSTEM_BUS = False


def load(mock, parameters):
    mock.settings = parameters.get('settings', {})


@dbus.service.method(MAIN_IFACE, in_signature='as', out_signature='a{sa{sv}}')
def ReadAll(self, namespaces):
    return {n: v for n, v in self.settings.items() if not namespaces or n in namespaces}
