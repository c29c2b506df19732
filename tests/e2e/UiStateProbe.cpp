// Preloaded (LD_PRELOAD) into the real quillbrook by the X11 end-to-end test, so the shipped
// binary carries no test hook. When QUILLBROOK_UI_STATE names a file, it rewrites that file with
// every visible widget of the app, its text and screen rectangle, whenever they change. The
// test reads it to find a button to click with xdotool and to read a label's text.

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QSaveFile>
#include <QTimer>

#include <memory>

namespace {

// One line per widget, tab-separated: kind, class, object name, x, y, width, height, text.
QString describe(const QWidget *widget)
{
    const QPoint topLeft = widget->mapToGlobal(QPoint(0, 0));
    QString text = widget->isWindow() ? widget->windowTitle() : widget->accessibleName();
    if (const auto *label = qobject_cast<const QLabel *>(widget))
        text = label->text();
    if (const auto *button = qobject_cast<const QAbstractButton *>(widget))
        text = button->text();
    const char *kind = widget->windowType() == Qt::Popup ? "popup"
                       : widget->isWindow()              ? "window"
                                                         : "widget";
    return QStringLiteral("%1\t%2\t%3\t%4\t%5\t%6\t%7\t%8\n")
        .arg(QLatin1String(kind), QLatin1String(widget->metaObject()->className()),
             widget->objectName(), QString::number(topLeft.x()), QString::number(topLeft.y()),
             QString::number(widget->width()), QString::number(widget->height()),
             text.simplified());
}

void startProbe()
{
    const QString path = qEnvironmentVariable("QUILLBROOK_UI_STATE");
    if (path.isEmpty() || !qobject_cast<QApplication *>(QCoreApplication::instance()))
        return;
    auto *timer = new QTimer(QCoreApplication::instance());
    auto last = std::make_shared<QString>(QStringLiteral("-"));
    QObject::connect(timer, &QTimer::timeout, [path, last] {
        QString now;
        for (const QWidget *window : QApplication::topLevelWidgets()) {
            if (!window->isVisible())
                continue;
            now += describe(window);
            for (const QWidget *child : window->findChildren<QWidget *>())
                now += child->isVisible() ? describe(child) : QString();
        }
        QSaveFile file(path);
        if (now != *last && file.open(QIODevice::WriteOnly) && file.write(now.toUtf8()) >= 0 &&
            file.commit())
            *last = now;
    });
    timer->start(100);
}

} // namespace

Q_COREAPP_STARTUP_FUNCTION(startProbe)
