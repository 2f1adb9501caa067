#pragma once

#include "common/DocumentTypes.h"
#include "server/documents/ApertiumFilters.h"

#include <QByteArray>
#include <QList>
#include <QString>

// Which parts of a package are translated, by which filter, and what in
// them the filter must not see, as one table. Apertium's filters take every
// piece of character data for text, and skip some regions whole: Word's
// filter skips <w:drawing>, where Word keeps the text boxes it shows. So a
// part goes to its filter with some regions held back: each replaced by an
// empty element of our own (a tag to the filter, so it rides in a
// superblank) and put back after the reformatter.
namespace PackageParts {
using Filter = ApertiumFilters::Filter;

struct Rule
{
    Filter filter = Filter::Wxml;
    // Elements held back whole, tags and text: comment authors, dates.
    QList<QByteArray> hold;
    // Inside a held element, these elements' content goes to the filter
    // again (their own tags stay held): the text boxes in a drawing.
    QList<QByteArray> reopen;
    // When not empty, only character data inside these elements is text;
    // any other is held (a chart's formulas and numbers).
    QList<QByteArray> textIn;
    // Shapes that are placeholders (<p:sp> holding <p:ph>) are held: a
    // master's prompts never show on a slide, its other shapes do.
    bool holdPlaceholders = false;
    // The element of a spreadsheet cell's text ("si", "table:table-cell"):
    // each keeps its source's outer blanks. Empty for other parts.
    QByteArray cell;
    // Worksheets are translated only when they hold text of their own.
    QByteArray onlyWith;
};

// The rule for a part of a package of this family; nullptr for a part that
// is not translated.
const Rule* ruleFor(DocumentTypes::Family family, const QString& partName);

// A part with what its rule holds back replaced by markers.
struct Held
{
    QByteArray part;
    QList<QByteArray> held; // the bytes behind marker i
    QByteArray id;          // in every marker: <tq-hold-ID-i/>
};
Held hold(const QByteArray& part, const Rule& rule);
// The translated part with the held bytes back in place of their markers.
// Throws DocumentError when a marker went missing or came twice.
QByteArray restore(const QByteArray& translated, const Held& held);

// The parts translated, each by its rule's filter (one filter run for all
// the parts of a filter), with what the rules hold back put back and cells'
// outer blanks kept. Throws DocumentError.
QList<QByteArray> translate(const QList<QByteArray>& parts, const QList<const Rule*>& rules,
                            const ApertiumFilters::Context& context);

// The translated part with each cell's outer blanks (spaces, tabs, line
// ends; in OpenDocument also <text:s/> and <text:tab/> at either end) made
// those of the same cell in the source. Cells are matched in order; a part
// whose count of cells changed is returned as it is.
QByteArray keepCellBlanks(const QByteArray& source, const QByteArray& translated,
                          const QByteArray& cellElement);
} // namespace PackageParts
