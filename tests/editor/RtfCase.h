#pragma once

#include "editor/RtfReader.h"

#include <QTextDocument>
#include <gtest/gtest.h>
#include <ostream>
#include <string>

// A small RTF file and the text a reader must see of it, for the reader's
// tables of cases.
namespace rtfcase {

inline QString plain(const QByteArray& rtf)
{
    QTextDocument doc;
    EXPECT_TRUE(Rtf::read(rtf, doc));
    return doc.toRawText().replace(QChar::ParagraphSeparator, u'\n');
}

struct Case
{
    const char* name;
    QByteArray rtf;
    QString text;
};

inline void PrintTo(const Case& c, std::ostream* os)
{
    *os << c.name;
}

inline std::string caseName(const ::testing::TestParamInfo<Case>& info)
{
    return info.param.name;
}

} // namespace rtfcase

using rtfcase::Case;
using rtfcase::caseName;
using rtfcase::plain;
