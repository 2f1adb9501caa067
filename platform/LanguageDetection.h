#pragma once

#include <QString>

// The interface language to show when the settings file names none.
//
// installLanguage is a four-hex-digit language identifier ("0409"), locale an
// eight-hex-digit locale value ("00000409"), operatingSystem the name the
// system-details component reports. On "Windows NT" only the install language
// counts; elsewhere the last four digits of the locale value decide, and a
// locale that names no language leaves the install language's answer.
//
// The answer is one of "English", "French", "Spanish", "German", "Italian",
// "Portuguese", "Japanese", "Chinese" or "Chinese(Taiwan Province)". Korean,
// Russian and unknown languages give "English".
QString detectInterfaceLanguage(const QString& installLanguage, const QString& locale,
                                const QString& operatingSystem);
