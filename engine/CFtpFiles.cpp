#include "CFtpFiles.h"

#include "Fault.h"

CFtpFiles::Entry CFtpFiles::Add(Entry oFtpFile, const QString& /*vKey*/) {
    m_Items.push_back({oFtpFile, -1});
    return oFtpFile;
}

CFtpFiles::Entry CFtpFiles::Item(int vntIndexKey) const {
    checkPosition(vntIndexKey);
    return entryAt(static_cast<std::size_t>(vntIndexKey - 1));
}

void CFtpFiles::Remove(int vntIndexKey) {
    checkPosition(vntIndexKey);
    const auto at = m_Items.begin() + (vntIndexKey - 1);
    const bool unread = at->line >= 0;
    m_Items.erase(at);
    if (unread)
        lineDone();
}

void CFtpFiles::AddLine(qint64 position) {
    m_Items.push_back({nullptr, position});
    ++m_Unread;
}

void CFtpFiles::SetLineReader(LineReader read) {
    m_Read = m_Unread > 0 ? std::move(read) : nullptr;
}

const CFtpFiles::Entry& CFtpFiles::entryAt(std::size_t index) const {
    Slot& slot = m_Items[index];
    if (slot.line >= 0) {
        slot.entry = m_Read(slot.line);
        slot.line = -1;
        lineDone();
    }
    return slot.entry;
}

void CFtpFiles::lineDone() const {
    if (--m_Unread == 0)
        m_Read = nullptr;
}

void CFtpFiles::checkPosition(int position) const {
    if (position < 1 || position > Count())
        throw platform::Fault(9, QStringLiteral("Subscript out of range"),
                              QStringLiteral("CFtpFiles"));
}
