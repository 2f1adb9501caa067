#pragma once

#include "platform/Errors.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <chrono>

// Runs a program as a filter: the input on its standard input, its
// standard output returned. Throws TarquellError when it cannot be started,
// fails, or goes silent for longer than the time-out (it is then killed).
QByteArray runFilter(const QString& program, const QStringList& arguments, const QByteArray& input,
                     std::chrono::milliseconds timeout);
