#pragma once

#include <QObject>

// Base of the non-visual components that report facts about the machine.
// A component fills its read-only properties in refresh().
class TAHMSystemComponent : public QObject
{
    Q_OBJECT

public:
    explicit TAHMSystemComponent(QObject* parent = nullptr) : QObject(parent) {}

    // Fills every property again from the system.
    virtual void refresh() = 0;

    // The owner calls this once it has finished setting the component up;
    // the component then refreshes itself again.
    void loaded() { refresh(); }
};
