// Byte streams with typed readers and writers: little-endian, the Swap variants big-endian.
#pragma once

#include <cstdio>

#include "foundation/str.h"

class CStream {
public:
    CStream() = default;
    CStream(const CStream&) = delete;
    CStream& operator=(const CStream&) = delete;
    virtual ~CStream() = default;

    virtual void setSize(int) {}
    virtual int read(void*, int) { return 0; }
    virtual int write(const void*, int) { return 0; }
    /// origin 0: from the start, 1: from the position, 2: from the end.
    virtual int seek(int, int) { return 0; }
    virtual int pos() { return 0; }
    virtual int getPos() { return 0; }
    virtual int getSize();
    /// Back-patches the length of the block that follows the 4-byte field at start.
    virtual void writeBlockSize(int start);
    virtual bool eof() { return pos() >= size; }

    void writeByte(unsigned char v) { write(&v, 1); }
    void writeShort(short v);
    void writeInt(int v);
    void writeIntSwap(int v);
    void writeFloat(float v);
    void writeFloatSwap(float v);
    void writeDouble(double v);
    void writeStr(const CStr& s);
    void writeId(const CStr& id, int value);

    unsigned char readByte();
    short readShort();
    short readShortSwap();
    int readInt();
    int readIntSwap();
    float readFloat();
    float readFloatSwap();
    double readDouble();
    /// A length field, then that many bytes; never more than the bytes left in the stream.
    CStr readStr();

    int setPos(int offset, int origin) { return seek(offset, origin); }
    /// Appends n bytes of src and seeks back to where they start; returns that position.
    int copy(CStream* src, int n);
    /// Appends n bytes of src and stays after them.
    void copyFrom(CStream* src, int n);

protected:
    int size = 0;
    int written = 0;

private:
    int transfer(CStream* src, int n);
};

class CMemoryStream : public CStream {
public:
    CMemoryStream() = default;
    ~CMemoryStream() override;

    void setSize(int n) override;
    int read(void* buf, int n) override;
    int write(const void* buf, int n) override;
    int seek(int offset, int origin) override;
    int pos() override { return position; }
    int getPos() override { return position; }
    int getSize() override { return size; }

    /// Capacity in 8192-byte steps; false when the request cannot be met.
    bool SetCapacity(int n);
    int getCapacity() const { return capacity; }
    const unsigned char* getData() const { return data; }
    void loadFromFile(const CStr& path);
    bool saveToFile(const CStr& path) const;

    static constexpr int capacityStep = 8192;

private:
    unsigned char* data = nullptr;
    int position = 0;
    int capacity = 0;
};

class CFileStream : public CStream {
public:
    /// mode 0 opens an existing file for reading, mode 1 creates or truncates it for writing.
    CFileStream(const CStr& path, int mode);
    ~CFileStream() override;

    bool isOpen() const { return file != nullptr; }
    int read(void* buf, int n) override;
    int write(const void* buf, int n) override;
    int seek(int offset, int origin) override;
    int pos() override;
    int getPos() override { return pos(); }
    void writeBlockSize(int start) override;
    int getWritten() const { return written; }

private:
    FILE* file = nullptr;
};

short swap2(short v);
inline short swapShort(short v) {
    return swap2(v);
}
int swap4(int v);
inline int swapInt(int v) {
    return swap4(v);
}
float swapFloat(float v);
/// Exchanges the first and third byte (RGB to BGR).
void swap3(unsigned char* rgb);
