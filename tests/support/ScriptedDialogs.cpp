#include "ScriptedDialogs.h"

MsgResult ScriptedDialogs::messageBox(const QString& caption, const QString& text, MsgIcon icon,
                                      MsgButtons buttons)
{
    shown.append({caption, text, icon, buttons});
    if (!messageAnswers.empty()) {
        MsgResult r = messageAnswers.front();
        messageAnswers.pop_front();
        return r;
    }
    return buttons == MsgButtons::Ok || buttons == MsgButtons::OkCancel ? MsgResult::Ok
                                                                        : MsgResult::Yes;
}

std::optional<Credentials> ScriptedDialogs::askCredentials(const QString& realm,
                                                           const QString& host, bool forProxy)
{
    credentialsAsked.append({realm, host, forProxy});
    if (credentialAnswers.empty())
        return std::nullopt;
    auto r = credentialAnswers.front();
    credentialAnswers.pop_front();
    return r;
}
