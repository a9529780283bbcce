// The Dockerfile lexer's own state: the escape byte, where the instruction
// stands, the exec form's grammar, the here-documents owed, and the key of
// the token being built.
#ifndef MATCHLING_DOCKERFILE_STATE_H
#define MATCHLING_DOCKERFILE_STATE_H

#include <cstddef>
#include <cstdint>

#include "tokens/kit.h"
#include "tokens/lexer.h"

constexpr std::size_t kDockerKeyPiece = 1024;  // key bytes of a token handed out as one piece
constexpr std::size_t kDockerHeredocs = 8;     // here-documents one instruction may open; more are refused
constexpr std::size_t kDockerDelimiter = 64;   // bytes of a here-document's delimiter; longer is refused
constexpr std::size_t kDockerExecTokens = 63;  // exec-form tokens before one that breaks its grammar; more are refused
constexpr std::size_t kDockerLook = 256;       // bytes a continuation's blanks may run to

// What the lexer reads next.
enum class DockerAt : unsigned char {
    LineStart,  // a parser directive, a comment, or an instruction's keyword
    Args,       // between the words of an instruction
    Word,       // inside a word of the shell form
    Exec,       // between the tokens of the exec form ["...", "..."]
    String,     // inside a string of the exec form
    Body,       // the here-documents' bodies after the instruction's line end
    Comment,    // the words of a comment (LexOptions::comments)
    Done,       // the End piece
};

struct DockerHeredoc {
    char delimiter[kDockerDelimiter];
    std::size_t length = 0;
    bool strip = false;  // <<-: the leading tabs of each line go
};

struct DockerLexState {
    DockerAt at = DockerAt::LineStart;
    char escape = '\\';          // the escape byte (# escape=)
    bool started = false;        // the byte order mark has been looked for
    bool directives = true;      // parser directives may still come
    bool escapeSeen = false;     // an escape directive came
    bool bodyLine = false;       // a here-document's body stands at a line's start
    bool firstArg = false;       // the next word is the instruction's first argument
    bool afterKeyword = false;   // nothing but layout since the keyword
    bool execForm = false;       // the instruction may take the exec form (RUN, CMD, COPY, ...)
    bool heredocs = false;       // the instruction may open here-documents (RUN, COPY, ADD)
    char quote = 0;              // the quote open inside the word, or 0
    int exec = 0;                // the exec form's grammar: 0 after '[', 1 after ',', 2 after a string, 3 after ']', 4 broken
    std::uint64_t layout = 0;    // bit k: a blank stood before the exec form's k-th token after '['
    std::size_t execCount = 0;   // its tokens after '['
    DockerHeredoc docs[kDockerHeredocs];
    std::size_t docCount = 0;    // here-documents opened on the instruction
    std::size_t docAt = 0;       // the one whose body is being read

    // The token being built.
    bool pieceOut = false;
    TokenKind kind = TokenKind::Code;
    TokenPlace place;
    std::size_t used = 0;
    char key[kDockerKeyPiece + 16];
};

inline constexpr StateOf<DockerLexState> dockerState{};

#endif
