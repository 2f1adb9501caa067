#pragma once

#include "server/apertium/ApertiumModes.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QHash>
#include <QString>
#include <optional>
#include <set>
#include <vector>

// What apertium-tagger's hidden Markov model (its .prob file) tells about
// the tagger learning. A word whose set of tags (its ambiguity class) the
// model lacks is given, in the tagger, the smallest known class that holds
// it and is smaller than the class of unknown words; where there is one,
// the tagger keeps it as the class of unknown words from then on, and
// tags later text differently. Where there is none, nothing changes.
class TaggerModel
{
public:
    // The model in a file's bytes; none when they are not a model this
    // reader knows through and through.
    static std::optional<TaggerModel> parse(QByteArrayView data);
    static std::optional<TaggerModel> read(const QString& path);

    // Whether meeting the class that the tagger's notes name ("{ADV,ADJ}")
    // changes the tagger. A class that names a tag the model lacks does.
    bool changesTagger(QByteArrayView tags) const;

    // The tagger's stage in a mode: apertium-tagger tagging (-g).
    static bool isTagger(const ApertiumStage& stage);
    // The mode with its tagger telling what it meets (-d): notes on its
    // errors, the translation unchanged.
    static ApertiumMode withNotes(ApertiumMode mode);
    // The file of the tagger's hidden Markov model; empty for the other
    // kinds of tagger, whose learning the notes do not tell.
    static QString modelPath(const ApertiumStage& stage);
    // Whether a line of the tagger's notes tells that it changed.
    static bool learnedFrom(const QByteArray& line, const std::optional<TaggerModel>& model);

    qsizetype tagCount() const { return m_tags.size(); }
    qsizetype classCount() const { return static_cast<qsizetype>(m_classes.size()); }

private:
    QHash<QByteArray, int> m_tags;
    std::set<int> m_open;
    std::vector<std::set<int>> m_classes;
};
