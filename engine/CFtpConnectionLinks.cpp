// The listing's additions kept apart from the transfer code: links that MLSD
// named without a target, completed from LIST, and the server's word that a
// listing was cut short.
#include "CFtpConnection.h"
#include "LinkTargets.h"
#include "ListingParser.h"
#include "MlsdParser.h"
#include "TruncatedListing.h"

#include <utility>

namespace {

// A reply that refused the command, as opposed to a session that failed:
// the listing stands without what the command would have added.
bool isRefusal(qint32 code) {
    return (code >= 37 && code <= 57) || code == CFtpConnection::ErrUnexpectedReply;
}

} // namespace

bool CFtpConnection::ListingTruncated() const {
    return !m_ListingNotice.isEmpty();
}

QString CFtpConnection::ListingTruncatedText() const {
    return m_ListingNotice;
}

bool CFtpConnection::CompleteLinks(std::shared_ptr<CFtpFiles>& files) {
    m_ListingNotice = TruncatedListing::notice(m_Control->lastResponse());
    std::vector<CFtpFile*> links;
    try {
        if (m_Transfer.listingStream) {
            m_Transfer.listingStream->Finish(m_Transfer.listingSink);
            for (CFtpFile& held : m_Transfer.listingStream->HeldLinks())
                links.push_back(&held);
        } else {
            files = MlsdParser::ParseListing(m_Transfer.listingText);
            for (const CFtpFiles::Entry& entry : *files) {
                if (entry && LinkTargets::lacksTarget(*entry))
                    links.push_back(entry.get());
            }
        }
    } catch (const platform::Fault& fault) {
        return TrapFault(fault, "EnumFiles");
    }
    if (links.empty())
        return true;

    // One more exchange, only for a folder that holds such links: the same
    // folder's LIST, read whole, names their targets.
    emit SessionProtocolMessage(
        QStringLiteral("MLSD named links without their targets; asking LIST for them."),
        ApplicationMessage);
    auto stream = std::move(m_Transfer.listingStream);
    const ListingStream::Sink sink = std::exchange(m_Transfer.listingSink, {});
    StartListing(ListingStream::Kind::List);
    const bool listed = PrepareData() && ProcessLISTCommand();
    const std::shared_ptr<CFtpFiles> listing =
        listed ? ParseListing(m_Transfer.listingText) : nullptr;
    m_Transfer.listingText.clear();
    m_Transfer.listingStream = std::move(stream);
    m_Transfer.listingSink = sink;
    if (listed) {
        LinkTargets::complete(links, *listing);
        if (m_ListingNotice.isEmpty())
            m_ListingNotice = TruncatedListing::notice(m_Control->lastResponse());
    } else if (isRefusal(m_LastError)) {
        emit SessionProtocolMessage(
            QStringLiteral("The server refused LIST; links are shown without their targets."),
            ApplicationMessage);
        m_LastError = 0;
    } else {
        return false;
    }
    if (m_Transfer.listingStream) {
        try {
            for (const CFtpFile& held : m_Transfer.listingStream->HeldLinks())
                m_Transfer.listingSink(held);
        } catch (const platform::Fault& fault) {
            return TrapFault(fault, "EnumFiles");
        }
        m_Transfer.listingStream->HeldLinks().clear();
    }
    return true;
}
