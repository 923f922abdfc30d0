"""A stand-in desktop notification server for the end-to-end tests: owns
org.freedesktop.Notifications on the bus named by DBUS_SESSION_BUS_ADDRESS, prints "ready" once
it does, then one JSON line per Notify call it receives. With --hang it never answers Notify,
as a notification server that has stopped responding.

Needs GLib's Python bindings (Debian package python3-gi)."""
import json
import sys

from gi.repository import Gio, GLib

INTERFACE = """
<node>
  <interface name="org.freedesktop.Notifications">
    <method name="Notify">
      <arg type="s" direction="in"/><arg type="u" direction="in"/><arg type="s" direction="in"/>
      <arg type="s" direction="in"/><arg type="s" direction="in"/><arg type="as" direction="in"/>
      <arg type="a{sv}" direction="in"/><arg type="i" direction="in"/>
      <arg type="u" direction="out"/>
    </method>
    <method name="GetCapabilities"><arg type="as" direction="out"/></method>
    <method name="CloseNotification"><arg type="u" direction="in"/></method>
    <method name="GetServerInformation">
      <arg type="s" direction="out"/><arg type="s" direction="out"/>
      <arg type="s" direction="out"/><arg type="s" direction="out"/>
    </method>
  </interface>
</node>
"""

hang = "--hang" in sys.argv[1:]
unanswered = []  # invocations kept, never answered, with --hang
shown = [0]


def on_call(connection, sender, path, interface, method, parameters, invocation):
    if method == "Notify":
        app, replaces, icon, summary, body, actions, hints, expire = parameters.unpack()
        print(json.dumps({"app": app, "replaces": replaces, "icon": icon, "summary": summary, "body": body,
                          "actions": actions, "hints": hints, "expire": expire}), flush=True)
        if hang:
            unanswered.append(invocation)
            return
        shown[0] += 1
        invocation.return_value(GLib.Variant("(u)", (shown[0],)))
    elif method == "GetCapabilities":
        invocation.return_value(GLib.Variant("(as)", (["body"],)))
    elif method == "GetServerInformation":
        invocation.return_value(GLib.Variant("(ssss)", ("listener", "vantry tests", "1", "1.2")))
    else:
        invocation.return_value(None)


def main():
    connection = Gio.bus_get_sync(Gio.BusType.SESSION, None)
    node = Gio.DBusNodeInfo.new_for_xml(INTERFACE)
    connection.register_object("/org/freedesktop/Notifications", node.interfaces[0], on_call, None, None)
    loop = GLib.MainLoop()
    Gio.bus_own_name_on_connection(connection, "org.freedesktop.Notifications", Gio.BusNameOwnerFlags.NONE,
                                   lambda *_: print("ready", flush=True), lambda *_: loop.quit())
    loop.run()


if __name__ == "__main__":
    main()
