#include "foundation/str.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <utility>

CStr::CStr() : buf(new char[1]), capacity(0) {
    buf[0] = 0;
}

CStr::CStr(const char* text) : buf(nullptr), capacity(0) {
    assign(text, text ? static_cast<int>(strlen(text)) : 0);
}

CStr::CStr(const CStr& other) : buf(nullptr), capacity(0) {
    assign(other.buf, std::max(other.length(), 0));
}

CStr::CStr(CStr&& other) noexcept : buf(other.buf), capacity(other.capacity) {
    other.buf = nullptr;
    other.capacity = 0;
}

CStr::CStr(char c) : buf(new char[2]), capacity(1) {
    buf[0] = c;
    buf[1] = 0;
}

CStr::~CStr() {
    delete[] buf;
}

CStr& CStr::operator=(const CStr& other) {
    if (this != &other) assign(other.buf, std::max(other.length(), 0));
    return *this;
}

CStr& CStr::operator=(CStr&& other) noexcept {
    std::swap(buf, other.buf);
    std::swap(capacity, other.capacity);
    return *this;
}

// Copies n bytes of text; grows the buffer only when it is too small, never shrinks it.
void CStr::assign(const char* text, int n) {
    if (!buf || n > capacity) {
        char* grown = new char[n + 1];
        delete[] buf;
        buf = grown;
        capacity = n;
    }
    if (n > 0) memmove(buf, text, static_cast<size_t>(n));
    buf[n] = 0;
}

int CStr::length() const {
    return buf ? static_cast<int>(strlen(buf)) : -1;
}

char CStr::operator[](int i) const {
    if (i < 0 || i >= length()) return 0;
    return buf[i];
}

void CStr::append(const CStr& s) {
    int n = s.length();
    if (n <= 0) return;
    int old = std::max(length(), 0);
    char* joined = new char[old + n + 1];
    if (old > 0) memcpy(joined, buf, static_cast<size_t>(old));
    memcpy(joined + old, s.buf, static_cast<size_t>(n) + 1);
    delete[] buf;
    buf = joined;
    capacity = old + n;
}

CStr operator+(const CStr& a, const CStr& b) {
    CStr r(a.length() < 0 ? CStr() : a);
    r.append(b);
    return r;
}

bool operator==(const CStr& a, const CStr& b) {
    return strcmp(a.buf ? a.buf : "", b.buf ? b.buf : "") == 0;
}

CStr CStr::sub(int start, int count) const {
    int len = std::max(length(), 0);
    start = std::clamp(start, 0, len);
    if (count < 0 || count > len - start) count = len - start;
    CStr r;
    r.assign(buf + start, count);
    return r;
}

int CStr::pos(const char* s) const {
    if (!s || !*s || !buf) return -1;
    const char* hit = strstr(buf, s);
    return hit ? static_cast<int>(hit - buf) : -1;
}

void CStr::del(int start, int count) {
    int len = length();
    if (start < 0 || count < 0 || start > len - count) return;
    memmove(buf + start, buf + start + count, static_cast<size_t>(len - start - count) + 1);
}

void CStr::ins(const CStr& s, int at) {
    int len = std::max(length(), 0);
    at = std::clamp(at, 0, len);
    *this = sub(0, at) + s + sub(at, -1);
}

static bool isBlank(char c) {
    return c == ' ' || c == '\n' || c == '\r';
}

CStr CStr::trim() const {
    int len = std::max(length(), 0);
    int first = 0;
    while (first < len && isBlank(buf[first]))
        first++;
    int last = len;
    while (last > first && isBlank(buf[last - 1]))
        last--;
    return sub(first, last - first);
}

CStr CStr::upperCase() const {
    CStr r(*this);
    for (char* p = r.buf; p && *p; p++)
        *p = static_cast<char>(toupper(static_cast<unsigned char>(*p)));
    return r;
}

CStr CStr::lowerCase() const {
    CStr r(*this);
    for (char* p = r.buf; p && *p; p++)
        *p = static_cast<char>(tolower(static_cast<unsigned char>(*p)));
    return r;
}

void CStr::resize(int n) {
    n = std::max(n, 0);
    char* fresh = new char[n + 1]();
    delete[] buf;
    buf = fresh;
    capacity = n;
}

// ---- free helpers ----

// The formats of asStrFormat come from the program's own code, never from data.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
namespace {
template <typename T> CStr formatted(const char* fmt, T v) {
    char text[512];
    snprintf(text, sizeof text, fmt, v);
    return CStr(text);
}
} // namespace
CStr asStr(int v) {
    return formatted("%d", v);
}
CStr asStr(float v) {
    return formatted("%f", static_cast<double>(v));
}
CStr asStr(double v) {
    return formatted("%lf", v);
}
CStr asStrFormat(int v, const CStr& fmt) {
    return formatted(fmt.asChar(), v);
}
CStr asStrFormat(float v, const CStr& fmt) {
    return formatted(fmt.asChar(), static_cast<double>(v));
}
#pragma GCC diagnostic pop

int strAsInt(const CStr& s) {
    return atoi(s.asChar());
}

int strAsIntDef(const CStr& s, int def) {
    int len = s.length();
    if (len <= 0) return def;
    int minus = 0, separators = 0;
    for (int i = 0; i < len; i++) {
        char c = s[i];
        if (c == '-')
            minus++;
        else if (c == ',' || c == '.')
            separators++;
        else if (c < '0' || c > '9')
            return def;
    }
    if (minus >= 2 || separators >= 2) return def;
    return atoi(s.asChar());
}

int asRound(double x) {
    double r = std::floor(x + 0.5);
    if (!(r >= INT_MIN)) return INT_MIN;
    if (r > INT_MAX) return INT_MAX;
    return static_cast<int>(r);
}

void showStr(const CStr& fmt) {
    printf("%s\n", fmt.asChar());
}

// Index of the last '/' or '\\' at or above lowest; -1 when none.
static int lastSeparator(const CStr& p, int lowest) {
    for (int i = p.length() - 1; i >= lowest; i--)
        if (p[i] == '/' || p[i] == '\\') return i;
    return -1;
}

static int lastDot(const CStr& p, int lowest) {
    for (int i = p.length() - 1; i >= lowest; i--)
        if (p[i] == '.') return i;
    return -1;
}

CStr extractFilePath(const CStr& p) {
    int i = lastSeparator(p, 1);
    return i < 0 ? CStr() : p.sub(0, i + 1);
}

CStr extractFileName(const CStr& p) {
    int i = lastSeparator(p, 1);
    return i < 0 ? p : p.sub(i + 1, -1);
}

CStr extractFileExt(const CStr& p) {
    int i = lastDot(p, 0);
    return i < 0 ? CStr() : p.sub(i, -1);
}

CStr changeFileExt(const CStr& p, const CStr& ext) {
    int i = lastDot(p, 1);
    return (i < 0 ? p : p.sub(0, i)) + ext;
}

CStr extractRootPath(const CStr& p) {
    int i = p.pos(":");
    return i < 0 ? CStr() : p.sub(0, i + 1) + "\\";
}
