#pragma once

#include "platform/Errors.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <chrono>

// Runs a program as a filter: the input on its standard input, its
// standard output returned. Throws TarquellError when it cannot be started,
// fails, is not done within the time-out from its start, or its request is
// given up (WorkScope); it is then killed with its process group.
QByteArray runFilter(const QString& program, const QStringList& arguments, const QByteArray& input,
                     std::chrono::milliseconds timeout);
