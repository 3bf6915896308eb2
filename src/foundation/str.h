// Owned 8-bit string and the free helpers that turn numbers into text and take paths apart.
#pragma once

class CStr {
public:
    CStr();
    CStr(const char* text);
    CStr(const CStr& other);
    CStr(CStr&& other) noexcept;
    explicit CStr(char c);
    ~CStr();

    CStr& operator=(const CStr& other);
    CStr& operator=(CStr&& other) noexcept;

    /// Bytes before the terminator; -1 for a null buffer.
    int length() const;
    /// The byte at i; 0 outside 0..length-1.
    char operator[](int i) const;
    const char* asChar() const { return buf; }
    /// Writable buffer of length()+1 bytes, valid until the next change of the string.
    char* data() { return buf; }

    void append(const CStr& s);
    /// count bytes from start; a negative count or one past the end takes the rest.
    CStr sub(int start, int count) const;
    /// Index of the first occurrence of s; -1 when absent or when s is empty.
    int pos(const char* s) const;
    void del(int start, int count);
    void ins(const CStr& s, int at);
    /// Without leading and trailing space, LF and CR (tabs are kept).
    CStr trim() const;
    CStr upperCase() const;
    CStr lowerCase() const;
    /// Discards the text and leaves room for n bytes plus terminator (zero-filled).
    void resize(int n);

    friend CStr operator+(const CStr& a, const CStr& b);
    friend bool operator==(const CStr& a, const CStr& b);
    friend bool operator!=(const CStr& a, const CStr& b) { return !(a == b); }

private:
    void assign(const char* text, int n);

    char* buf;
    int capacity; // bytes the buffer can hold before its terminator
};

CStr asStr(int v);
CStr asStr(float v);
CStr asStr(double v);
CStr asStrFormat(int v, const CStr& fmt);
CStr asStrFormat(float v, const CStr& fmt);
int strAsInt(const CStr& s);
/// atoi of s when it looks like a number, else def.
int strAsIntDef(const CStr& s, int def);
int asRound(double x);
inline void inc(int& v, int n) {
    v += n;
}
inline void dec(int& v, int n) {
    v -= n;
}
void showStr(const CStr& fmt);
inline void dbg(const char*) {}

CStr extractFilePath(const CStr& p);
CStr extractFileName(const CStr& p);
CStr extractFileExt(const CStr& p);
CStr changeFileExt(const CStr& p, const CStr& ext);
CStr extractRootPath(const CStr& p);
/// Path of the loaded plug-in or program.
CStr asAppname();
