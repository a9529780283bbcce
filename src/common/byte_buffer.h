// A growable run of bytes whose new room is left unset: for a whole document
// read into memory, or records written before they are read, where zeroing
// megabytes first (as std::string and std::vector do) and copying them as
// they double costs as much as the work itself.
#ifndef MATCHLING_BYTE_BUFFER_H
#define MATCHLING_BYTE_BUFFER_H

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <memory>

class ByteBuffer {
public:
    char *data() { return bytes_.get(); }
    const char *data() const { return bytes_.get(); }
    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    char &operator[](std::size_t i) { return bytes_[i]; }
    const char &operator[](std::size_t i) const { return bytes_[i]; }

    // Room for n bytes in all, the held ones kept.
    void reserve(std::size_t n)
    {
        if (n <= room_)
            return;
        std::unique_ptr<char[]> more(new char[n]);
        if (size_ > 0)
            std::memcpy(more.get(), bytes_.get(), size_);
        bytes_ = std::move(more);
        room_ = n;
    }

    // Holds n bytes: the first size() as they were, any others unset.
    void resize(std::size_t n)
    {
        reserve(n);
        size_ = n;
    }

    // n more bytes, unset, at the end; returns where they start. The room
    // at least doubles when it grows.
    char *grow(std::size_t n)
    {
        if (room_ - size_ < n)
            reserve(std::max(2 * room_, size_ + n));
        char *p = bytes_.get() + size_;
        size_ += n;
        return p;
    }

    // Drops the first n bytes.
    void dropFront(std::size_t n)
    {
        n = std::min(n, size_);
        if (n > 0)
            std::memmove(bytes_.get(), bytes_.get() + n, size_ - n);
        size_ -= n;
    }

    // Holds nothing, its memory given back.
    void release()
    {
        bytes_.reset();
        size_ = room_ = 0;
    }

private:
    std::unique_ptr<char[]> bytes_;
    std::size_t size_ = 0, room_ = 0;
};

#endif
