#pragma once
// The engine's LIKE, character for character: "%", "_", the escape '\', case folded for
// ASCII only, a malformed UTF-8 sequence read as U+FFFD, a text ending at its first zero
// byte. The book held in memory filters with it so its rows are the engine's rows;
// tst_book_cache (searchMatchesTheEngineForEveryPattern, randomActionsMatchTheEngine)
// checks it against the engine.

namespace EngineLike {

// A text runs to its end or to its first zero byte, whichever comes first.
struct Text {
    const unsigned char *p;
    const unsigned char *end;
    unsigned char peek() const { return p < end ? *p : 0; }
};

// Whether `text` matches `pattern` as "text LIKE pattern ESCAPE '\'" does in the engine.
bool match(Text pattern, Text text);

} // namespace EngineLike
