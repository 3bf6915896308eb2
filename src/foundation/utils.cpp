// Platform-independent helpers of os.h.
#include <cstdlib>

#include "foundation/os.h"
#include "foundation/stream.h"

const char folderSeparator = '/';

CStr addSep(const CStr& path) {
    int n = path.length();
    if (n <= 0 || path[n - 1] == folderSeparator) return path;
    return path + CStr(folderSeparator);
}

CStr stripValue(const CStr& s) {
    int eq = s.pos("=");
    return eq < 0 ? s : s.sub(0, eq);
}

void order(int& a, int& b) {
    if (a > b) {
        int t = a;
        a = b;
        b = t;
    }
}

float asRand() {
    return static_cast<float>(static_cast<double>(rand()) / 2147483648.0);
}

void streamToStrs(CStream* stream, CStringList* lines) {
    if (!stream || !lines) return;
    stream->seek(0, 0);
    CStr line;
    unsigned char previous = 0;
    unsigned char b = 0;
    while (stream->read(&b, 1) == 1) {
        bool lineEnd = b == '\n' || b == '\r';
        if (lineEnd) {
            // CR LF ends one line, not two.
            if (!(b == '\n' && previous == '\r')) lines->add(line);
            line = CStr();
        } else {
            line.append(CStr(static_cast<char>(b)));
        }
        previous = b;
    }
    if (line.length() > 0) lines->add(line);
}
