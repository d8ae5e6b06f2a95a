#pragma once

#include "CFtpFile.h"

#include <cstddef>
#include <deque>
#include <functional>
#include <iterator>
#include <memory>

// The entries of one listing, in the order they were added, with 1-based
// positions. No keys: the same name or entry may appear any number of times.
//
// A listing read from a server's bytes (ParseListing) keeps those bytes and
// makes each entry from its line when the entry is first asked for, then
// keeps it like any other. A million-line listing so costs its bytes and a
// few bytes a line until it is read; a caller that takes entries off the
// front as it goes (Item(1), then Remove(1)) never holds more than a few.
class CFtpFiles {
public:
    using Entry = std::shared_ptr<CFtpFile>;
    // Makes the entry of the listing line that starts at a byte position.
    using LineReader = std::function<Entry(qint64 position)>;

    // vKey is accepted for the callers' sake and not used.
    Entry Add(Entry oFtpFile, const QString& vKey = {});
    // Positions outside 1..Count throw a platform::Fault (9, subscript out of range).
    Entry Item(int vntIndexKey) const;
    int Count() const { return static_cast<int>(m_Items.size()); }
    void Remove(int vntIndexKey);

    // For the listing parser: an entry still to be read from the line at a
    // position, by the reader set with SetLineReader. The reader (and the
    // bytes it holds) is released once every such line has been read or removed.
    void AddLine(qint64 position);
    void SetLineReader(LineReader read);

    // Enumeration in insertion order (the NewEnum of the design).
    class const_iterator {
    public:
        using iterator_category = std::forward_iterator_tag;
        using value_type = Entry;
        using difference_type = std::ptrdiff_t;
        using pointer = const Entry*;
        using reference = const Entry&;

        const_iterator() = default;
        reference operator*() const { return m_Files->entryAt(m_Index); }
        pointer operator->() const { return &m_Files->entryAt(m_Index); }
        const_iterator& operator++() {
            ++m_Index;
            return *this;
        }
        const_iterator operator++(int) {
            const const_iterator old = *this;
            ++m_Index;
            return old;
        }
        bool operator==(const const_iterator& other) const {
            return m_Files == other.m_Files && m_Index == other.m_Index;
        }

    private:
        friend class CFtpFiles;
        const_iterator(const CFtpFiles* files, std::size_t index)
            : m_Files(files), m_Index(index) {}
        const CFtpFiles* m_Files = nullptr;
        std::size_t m_Index = 0;
    };
    const_iterator begin() const { return {this, 0}; }
    const_iterator end() const { return {this, m_Items.size()}; }

private:
    struct Slot {
        Entry entry;
        qint64 line = -1; // the position of a line not read yet, -1 once read
    };

    const Entry& entryAt(std::size_t index) const;
    void lineDone() const;
    void checkPosition(int position) const;

    // Reading an entry is not a change the caller can see.
    mutable std::deque<Slot> m_Items;
    mutable LineReader m_Read;
    mutable qsizetype m_Unread = 0;
};
