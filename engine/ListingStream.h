#pragma once

#include "CFtpFile.h"
#include "ListingParser.h"

#include <QByteArray>
#include <QByteArrayView>
#include <functional>
#include <memory>
#include <vector>

// The entries of a listing read while its bytes arrive, cut anywhere: each
// line is read once its "\n" has come, the last one at the end of the data.
// The same records come out as from ParseListing (LIST) or
// MlsdParser::ParseListing (MLSD) over the whole text. Only the unfinished
// line is kept. Pure: bytes in, records out.
class ListingStream {
public:
    enum class Kind { List, Mlsd };
    using Sink = std::function<void(const CFtpFile&)>;

    explicit ListingStream(Kind kind);

    // Reads the lines the bytes complete and hands their entries to `entry`.
    void Feed(QByteArrayView bytes, const Sink& entry);
    // The data has ended: the last line, if it had no "\n", is read as well.
    void Finish(const Sink& entry);

    // Bytes of the line still waiting for its end.
    qsizetype Pending() const { return m_Partial.size(); }
    // Entries handed out so far.
    qint64 Entries() const { return m_Entries; }
    // MLSD links named without a target are held back here instead of being
    // handed out, until the caller has completed them (LinkTargets).
    std::vector<CFtpFile>& HeldLinks() { return m_Held; }

private:
    void readLine(QByteArrayView line, const Sink& entry);

    Kind m_Kind;
    ListingParser::EntryReader m_Read; // LIST only
    QByteArray m_Partial;
    bool m_FirstLine = true;
    qint64 m_Entries = 0;
    std::vector<CFtpFile> m_Held;
};
