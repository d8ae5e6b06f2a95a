#include "ListingStream.h"

#include "LinkTargets.h"
#include "MlsdParser.h"

ListingStream::ListingStream(Kind kind) : m_Kind(kind) {
    if (m_Kind == Kind::List)
        m_Read = ListingParser::MakeEntryReader();
}

void ListingStream::Feed(QByteArrayView bytes, const Sink& entry) {
    // Each pass takes one complete line: first the one begun in an earlier
    // arrival, then those wholly inside these bytes.
    for (;;) {
        const qsizetype end = bytes.indexOf('\n');
        if (end < 0)
            break;
        if (m_Partial.isEmpty()) {
            readLine(bytes.first(end), entry);
        } else {
            m_Partial.append(bytes.first(end));
            readLine(m_Partial, entry);
            m_Partial.clear();
        }
        bytes = bytes.sliced(end + 1);
    }
    m_Partial.append(bytes);
}

void ListingStream::Finish(const Sink& entry) {
    // ParseListing reads the text after the last "\n" as a line of its own
    // (an empty one is no entry).
    readLine(m_Partial, entry);
    m_Partial.clear();
}

void ListingStream::readLine(QByteArrayView line, const Sink& entry) {
    const bool first = std::exchange(m_FirstLine, false);
    if (m_Kind == Kind::List) {
        if (const auto file = m_Read(line, first)) {
            ++m_Entries;
            entry(*file);
        }
        return;
    }
    if (auto file = MlsdParser::ParseEntry(QString::fromUtf8(line))) {
        if (LinkTargets::lacksTarget(*file)) {
            m_Held.push_back(std::move(*file));
            return;
        }
        ++m_Entries;
        entry(*file);
    }
}
