#pragma once

#include <QObject>

class QSocketNotifier;

// Turns SIGTERM and SIGINT into a normal close of the main window, so that
// the settings are written when the session logs out or the program is
// stopped from a terminal.
class ShutdownSignals : public QObject
{
    Q_OBJECT
public:
    explicit ShutdownSignals(QObject* parent = nullptr);
    ~ShutdownSignals() override;

signals:
    void shutdownRequested();

private:
    void readSignal();
    QSocketNotifier* m_notifier = nullptr;
};
