#pragma once

// What the benchmarks that drive the real window share: a dialog seam that
// shows nothing, and generated English text.

#include "platform/Dialogs.h"

#include <QString>

// Answers OK to every message box (counting them and keeping the last
// text) and cancels every other dialog.
struct NoDialogs : IDialogs
{
    int shown = 0;
    QString last;
    MsgResult messageBox(const QString&, const QString& text, MsgIcon, MsgButtons) override
    {
        ++shown;
        last = text;
        return MsgResult::Ok;
    }
    std::optional<Credentials> askCredentials(const QString&, const QString&, bool) override
    {
        return std::nullopt;
    }
    std::optional<QFont> chooseFont(const QFont&) override { return std::nullopt; }
    std::optional<QColor> chooseColor(const QColor&) override { return std::nullopt; }
};

// Lines of words, "house" about once in 40 characters.
inline QString generated(qsizetype chars)
{
    static const QString words[] = {QStringLiteral("the "), QStringLiteral("house "),
                                    QStringLiteral("is "),  QStringLiteral("red. "),
                                    QStringLiteral("A "),   QStringLiteral("translator\n")};
    QString text;
    text.reserve(chars + 16);
    for (int i = 0; text.size() < chars; ++i)
        text += words[(i * 7) % 6];
    text.truncate(chars);
    return text;
}
