#pragma once

#include "platform/Errors.h"
#include "service/BFish.h"
#include "service/THTTPRIO.h"

#include <QString>

// What a test sees of a Server 1 call: the error message, "<cancelled>"
// when it ended silently, or empty when it succeeded.
inline const QString Cancelled = QStringLiteral("<cancelled>");

inline QString callError(THTTPRIO& rio, QString* result = nullptr)
{
    try {
        const QString r =
            GetIBabelFish(rio)->BabelFish(QStringLiteral("en_fr"), QStringLiteral("Hello"));
        if (result)
            *result = r;
        return QString();
    } catch (const SilentAbort&) {
        return Cancelled;
    } catch (const TarquellError& e) {
        return e.message();
    }
}
