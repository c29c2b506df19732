// A stand-in for the StatusNotifierWatcher that KDE Plasma, XFCE's status tray and GNOME's
// AppIndicator extension run on the session bus. With it present, Qt shows the tray icon as a
// StatusNotifierItem over D-Bus instead of an XEmbed window. Prints "ITEM <bus name>" for each
// item that registers, so the test can call the item's Activate as a tray host would.

#include <QCoreApplication>
#include <QDBusAbstractAdaptor>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QStringList>

#include <cstdio>

class SniWatcher : public QDBusAbstractAdaptor
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
    Q_PROPERTY(bool IsStatusNotifierHostRegistered READ isHostRegistered)
    Q_PROPERTY(int ProtocolVersion READ protocolVersion)
    Q_PROPERTY(QStringList RegisteredStatusNotifierItems READ registeredItems)

public:
    explicit SniWatcher(QObject *parent) : QDBusAbstractAdaptor(parent) {}

    bool isHostRegistered() const { return true; }
    int protocolVersion() const { return 0; }
    QStringList registeredItems() const { return m_items; }

public slots:
    void RegisterStatusNotifierItem(const QString &service, const QDBusMessage &message)
    {
        // Items name either their bus name or an object path on the caller's connection.
        const QString item = service.startsWith(QLatin1Char('/')) ? message.service() : service;
        m_items.append(item);
        std::printf("ITEM %s\n", qPrintable(item));
        std::fflush(stdout);
        emit StatusNotifierItemRegistered(item);
    }
    void RegisterStatusNotifierHost(const QString &) {}

signals:
    void StatusNotifierItemRegistered(const QString &service);
    void StatusNotifierHostRegistered();

private:
    QStringList m_items;
};

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QObject root;
    new SniWatcher(&root);
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.registerObject(QStringLiteral("/StatusNotifierWatcher"), &root) ||
        !bus.registerService(QStringLiteral("org.kde.StatusNotifierWatcher"))) {
        std::fprintf(stderr, "cannot register org.kde.StatusNotifierWatcher on the session bus\n");
        return 1;
    }
    std::printf("READY\n");
    std::fflush(stdout);
    return app.exec();
}

#include "SniWatcher.moc"
