// The shell lexer's own state: the frames open around the scan position, the
// token being built and the here-documents waiting for their bodies.
#ifndef MATCHLING_SHELL_STATE_H
#define MATCHLING_SHELL_STATE_H

#include <cstddef>
#include <cstdint>

#include "tokens/lexer.h"

constexpr std::size_t kShellNesting = 64;     // frames open at once: $(...), "...", ${...}, $((...)), arrays
constexpr std::size_t kShellKeyBytes = 512;  // key bytes built before a piece goes out
constexpr std::size_t kShellHeredocs = 8;     // here-documents waiting on one line
constexpr std::size_t kShellDelimiter = 64;   // bytes of a here-document's delimiter
constexpr std::size_t kShellWord = 8;         // bytes of a word kept to tell a reserved word
constexpr std::size_t kShellRunKeys = 1024;   // bytes of the keys a run builds (a blank's mark after a tab or line end)

// What a frame reads.
enum class ShellFrameKind : unsigned char {
    Top,    // the script's commands
    Subst,  // the commands of $(...), <(...) or >(...): its ')' closes it
    Array,  // the words of an array assignment's (...): line ends are blanks
    Arith,  // an arithmetic expression: $((...)), ((...)), for ((...))
    Quote,  // the text of "..."
    Brace,  // the text of ${...}
};

struct ShellFrame {
    ShellFrameKind kind = ShellFrameKind::Top;
    bool inWord = false;     // a word is open (a token of it may or may not be)
    bool lastWord = false;   // the last token ended a word: a word that starts now was set apart by a blank
    bool cmdStart = true;    // the next word starts a command: a reserved word counts
    bool pending = false;    // a ';' or a line end waits: a ';' token goes out before the next token
    bool lineLayout = true;  // a line end here is layout (after |, &&, then, do, a pattern's ')', ...)
    bool pattern = false;    // a case item's patterns are read: ')' ends them
    bool patternStart = false;  // the next word starts a pattern (esac may close the case)
    bool opened = false;     // the last token is a '(' (of a subshell or a function definition)
    bool forHead = false;    // the last word is for or select: "((" opens an arithmetic for
    bool forName = false;    // the words so far are for (or select) and its name, and ';' or line ends
                             // at most: a separator before do is layout
    bool cond = false;       // inside [[ ... ]]
    bool regexNext = false;  // the next word is the right side of =~
    unsigned char heredocNext = 0;  // the next word is a here-document's delimiter: 1 after <<, 2 after <<-
    unsigned char caseHead = 0;     // 1: after case, 2: after its word (in opens the items)
    bool inDouble = false;   // a ${...} inside "...": a quote in it is text
    std::uint32_t caseDepth = 0;    // cases open in this frame
    std::uint32_t parens = 0;       // subshell, group or arithmetic parentheses open in this frame
};

struct ShellHeredoc {
    char delimiter[kShellDelimiter];
    std::size_t length = 0;
    bool strip = false;      // <<-: leading tabs are taken off each line
    bool quoted = false;     // a quote or backslash in the delimiter: no line continues
};

struct ShellLexState {
    ShellFrame frames[kShellNesting];
    std::size_t depth = 1;   // frames in use; frames[0] is Top

    // The token being built.
    char key[kShellKeyBytes];
    std::size_t keyLength = 0;
    bool open = false;       // a token is being built
    bool carry = false;      // a piece went out: its kept last byte moves to the key's start first
    TokenPlace place;

    // A stretch read as written into the token being built.
    unsigned char scan = 0;  // ShellScan (lexer.cpp); 0 when none
    char scanQuote = 0;      // the quote open inside it
    std::uint32_t scanDepth = 0;  // parentheses open inside it

    // The word being read (its first token).
    char word[kShellWord];
    std::size_t wordLength = 0;  // bytes of the word; past kShellWord, the word is no reserved word
    bool wordPlain = true;   // no quote, escape or expansion in it
    bool wordFirst = false;  // no token of the word has gone out yet: the next takes the blank's mark
    bool wordSplit = false;  // the word is more than one token, or a piece of it went out
    bool wordDigits = true;  // its bytes are digits (a redirection's file descriptor when '<' or '>' follows)
    char lastByte = 0;       // its last byte, unquoted

    // Here-documents.
    ShellHeredoc heredocs[kShellHeredocs];
    std::size_t heredocCount = 0;  // waiting for the next line end
    std::size_t bodyAt = 0;        // the one whose body is being read
    bool inBody = false;           // reading bodies
    bool bodyLineStart = true;     // at the start of a body line
    bool bodyContinued = false;    // the last body line ended in an unquoted backslash-newline
    std::size_t bodyBackslashes = 0;  // backslashes that end the body line so far

    // The keys of a run's tokens that are no stretch of the window: a word's
    // blank mark and its bytes, back to back, a block of bytes to spare
    // after the last (readers copy short keys a block at a time).
    char runKeys[kShellRunKeys];

    // Unreadable input: the rest compares as written after a mark.
    bool bad = false;        // the mark is owed or given
    bool markGiven = false;
    bool rest = false;       // the rest is one token as written
};

inline ShellLexState &shellState(Lexer &lexer)
{
    return languageState<ShellLexState>(lexer);
}

#endif
