#include "app/DesktopNotification.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QStringList>
#include <QVariantMap>

bool SendDesktopNotification(const QString& summary, const QString& body) {
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected()) return false;
  QDBusMessage call = QDBusMessage::createMethodCall("org.freedesktop.Notifications",
                                                     "/org/freedesktop/Notifications",
                                                     "org.freedesktop.Notifications", "Notify");
  // app_name, replaces_id, app_icon, summary, body, actions, hints, expire_timeout
  call << QString("Tovrena") << 0u << QString("tovrena") << summary << body << QStringList()
       << QVariantMap() << -1;
  // Not waited for: a desktop without the service must not hold the window up.
  return bus.send(call);
}
