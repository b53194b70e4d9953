'''BlueZ mock whose accessory is connected from the moment the daemon is on the bus.

The device object is added without an InterfacesAdded signal, so a client learns of it only by
reading the daemon's objects (GetManagedObjects). Everything else is the bluez5 template.
'''
# pylint: disable=wildcard-import,unused-wildcard-import
import dbus
from dbusmock.templates import bluez5
from dbusmock.templates.bluez5 import *

ACCESSORY_PATH = '/org/bluez/hci0/dev_C0_FF_EE_00_00_01'
HID_OVER_GATT = '00001812-0000-1000-8000-00805f9b34fb'


def load(mock, parameters):
    bluez5.load(mock, parameters)
    mock.AddObject(ACCESSORY_PATH, bluez5.DEVICE_IFACE, {
        'Address': dbus.String('C0:FF:EE:00:00:01', variant_level=1),
        'Connected': dbus.Boolean(True, variant_level=1),
        'UUIDs': dbus.Array([HID_OVER_GATT], signature='s', variant_level=1),
    }, [])
