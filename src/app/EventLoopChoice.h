#pragma once
#include <QByteArray>
#include <QtGlobal>

// Programs without a window run Qt's own poll loop rather than GLib's. GLib's
// loop writes to its wake-up descriptor for every event posted to it, which
// on a busy server came to about fifteen system calls per small file served;
// Qt's own loop wakes once per round. Call before the application object is
// made; a QT_NO_GLIB the user has set already is kept.
inline void UseQtEventLoop() {
    if (!qEnvironmentVariableIsSet("QT_NO_GLIB"))
        qputenv("QT_NO_GLIB", QByteArray("1"));
}
