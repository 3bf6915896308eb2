#include "foundation/stream.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>

namespace {
// Bytes are stored least significant first whatever the machine, so values are
// assembled from bytes rather than copied.
void putLE(unsigned char* b, uint64_t v, int n) {
    for (int i = 0; i < n; i++)
        b[i] = static_cast<unsigned char>(v >> (8 * i));
}
uint64_t getLE(const unsigned char* b, int n) {
    uint64_t v = 0;
    for (int i = 0; i < n; i++)
        v |= static_cast<uint64_t>(b[i]) << (8 * i);
    return v;
}
uint32_t floatBits(float f) {
    uint32_t u;
    memcpy(&u, &f, 4);
    return u;
}
float bitsFloat(uint32_t u) {
    float f;
    memcpy(&f, &u, 4);
    return f;
}
} // namespace

short swap2(short v) {
    auto u = static_cast<uint16_t>(v);
    return static_cast<short>(static_cast<uint16_t>((u >> 8) | (u << 8)));
}

int swap4(int v) {
    auto u = static_cast<uint32_t>(v);
    u = (u >> 24) | ((u >> 8) & 0xff00u) | ((u << 8) & 0xff0000u) | (u << 24);
    return static_cast<int>(u);
}

float swapFloat(float v) {
    return bitsFloat(static_cast<uint32_t>(swap4(static_cast<int>(floatBits(v)))));
}

void swap3(unsigned char* rgb) {
    std::swap(rgb[0], rgb[2]);
}

// ---- CStream ----

int CStream::getSize() {
    int saved = seek(0, 1);
    int end = seek(0, 2);
    seek(saved, 0);
    return end;
}

void CStream::writeBlockSize(int start) {
    int end = pos();
    seek(start, 0);
    writeInt(end - start - 4);
    seek(end, 0);
}

void CStream::writeShort(short v) {
    unsigned char b[2];
    putLE(b, static_cast<uint16_t>(v), 2);
    write(b, 2);
}

void CStream::writeInt(int v) {
    unsigned char b[4];
    putLE(b, static_cast<uint32_t>(v), 4);
    write(b, 4);
}

void CStream::writeIntSwap(int v) {
    writeInt(swap4(v));
}
void CStream::writeFloat(float v) {
    writeInt(static_cast<int>(floatBits(v)));
}
void CStream::writeFloatSwap(float v) {
    writeIntSwap(static_cast<int>(floatBits(v)));
}

void CStream::writeDouble(double v) {
    uint64_t u;
    memcpy(&u, &v, 8);
    unsigned char b[8];
    putLE(b, u, 8);
    write(b, 8);
}

void CStream::writeStr(const CStr& s) {
    int n = std::max(s.length(), 0);
    writeInt(n);
    write(s.asChar(), n);
}

void CStream::writeId(const CStr& id, int value) {
    writeStr(id);
    writeInt(value);
}

// Short reads leave the missing bytes zero.
unsigned char CStream::readByte() {
    unsigned char b = 0;
    read(&b, 1);
    return b;
}

short CStream::readShort() {
    unsigned char b[2] = {};
    read(b, 2);
    return static_cast<short>(static_cast<uint16_t>(getLE(b, 2)));
}

short CStream::readShortSwap() {
    return swap2(readShort());
}

int CStream::readInt() {
    unsigned char b[4] = {};
    read(b, 4);
    return static_cast<int>(static_cast<uint32_t>(getLE(b, 4)));
}

int CStream::readIntSwap() {
    return swap4(readInt());
}
float CStream::readFloat() {
    return bitsFloat(static_cast<uint32_t>(readInt()));
}
float CStream::readFloatSwap() {
    return bitsFloat(static_cast<uint32_t>(readIntSwap()));
}

double CStream::readDouble() {
    unsigned char b[8] = {};
    read(b, 8);
    uint64_t u = getLE(b, 8);
    double v;
    memcpy(&v, &u, 8);
    return v;
}

CStr CStream::readStr() {
    int n = readInt();
    int left = getSize() - pos();
    n = std::min(n, left);
    if (n <= 0) return CStr();
    CStr s;
    s.resize(n);
    int got = std::max(read(s.data(), n), 0);
    s.data()[got] = 0;
    return s;
}

int CStream::transfer(CStream* src, int n) {
    unsigned char chunk[1024];
    int moved = 0;
    while (src && moved < n) {
        int got = src->read(chunk, std::min(n - moved, static_cast<int>(sizeof chunk)));
        if (got <= 0) break;
        write(chunk, got);
        moved += got;
    }
    return moved;
}

int CStream::copy(CStream* src, int n) {
    int start = pos();
    if (n < 1) return start;
    transfer(src, n);
    seek(start, 0);
    return start;
}

void CStream::copyFrom(CStream* src, int n) {
    if (n > 0) transfer(src, n);
}

// ---- CMemoryStream ----

CMemoryStream::~CMemoryStream() {
    SetCapacity(0);
}

bool CMemoryStream::SetCapacity(int n) {
    if (n < 0 || n > INT_MAX - (capacityStep - 1)) return false;
    int rounded = (n + capacityStep - 1) & ~(capacityStep - 1);
    if (rounded == capacity) return true;
    unsigned char* block = nullptr;
    if (rounded > 0) {
        block = new unsigned char[static_cast<size_t>(rounded)];
        if (data) memcpy(block, data, static_cast<size_t>(std::min(size, rounded)));
    }
    delete[] data;
    data = block;
    capacity = rounded;
    return true;
}

void CMemoryStream::setSize(int n) {
    if (!SetCapacity(n)) return;
    size = n;
    position = std::min(position, n);
}

int CMemoryStream::read(void* buf, int n) {
    if (position < 0 || n < 0 || position >= size) return 0;
    int count = std::min(n, size - position);
    memcpy(buf, data + position, static_cast<size_t>(count));
    position += count;
    return count;
}

int CMemoryStream::write(const void* buf, int n) {
    if (position < 0 || n < 0) return 0;
    int64_t end = static_cast<int64_t>(position) + n;
    if (end < 1 || end > INT_MAX) return 0;
    if (end > capacity && !SetCapacity(static_cast<int>(end))) return 0;
    if (end > size) size = static_cast<int>(end);
    if (n > 0) memcpy(data + position, buf, static_cast<size_t>(n));
    position = static_cast<int>(end);
    return n;
}

int CMemoryStream::seek(int offset, int origin) {
    int64_t base = origin == 1 ? position : origin == 2 ? size : 0;
    int64_t target = base + offset;
    if (target < INT_MIN || target > INT_MAX) return position;
    position = static_cast<int>(target);
    return position;
}

void CMemoryStream::loadFromFile(const CStr& path) {
    CFileStream f(path, 0);
    int n = f.getSize();
    if (!f.isOpen() || n <= 0 || !SetCapacity(n)) return;
    size = n;
    position = 0;
    int got = std::max(f.read(data, n), 0);
    if (got < n) memset(data + got, 0, static_cast<size_t>(n - got));
}

bool CMemoryStream::saveToFile(const CStr& path) const {
    FILE* f = fopen(path.asChar(), "wb");
    if (!f) return false;
    size_t n = data ? static_cast<size_t>(size) : 0;
    bool ok = fwrite(data, 1, n, f) == n;
    return fclose(f) == 0 && ok;
}

// ---- CFileStream ----

CFileStream::CFileStream(const CStr& path, int mode) {
    if (mode == 0)
        file = fopen(path.asChar(), "rb");
    else if (mode == 1)
        file = fopen(path.asChar(), "w+b");
    if (file) size = getSize();
}

CFileStream::~CFileStream() {
    if (file) fclose(file);
}

int CFileStream::read(void* buf, int n) {
    if (!file || n <= 0) return 0;
    return static_cast<int>(fread(buf, 1, static_cast<size_t>(n), file));
}

int CFileStream::write(const void* buf, int n) {
    if (!file || n <= 0) return 0;
    written += n;
    return static_cast<int>(fwrite(buf, 1, static_cast<size_t>(n), file));
}

int CFileStream::seek(int offset, int origin) {
    if (!file) return 0;
    int whence = origin == 1 ? SEEK_CUR : origin == 2 ? SEEK_END : SEEK_SET;
    fseeko(file, offset, whence);
    return pos();
}

int CFileStream::pos() {
    if (!file) return 0;
    off_t p = ftello(file);
    return p < 0 ? 0 : static_cast<int>(std::min<off_t>(p, INT_MAX));
}

void CFileStream::writeBlockSize(int start) {
    CStream::writeBlockSize(start);
    written -= 4;
}
