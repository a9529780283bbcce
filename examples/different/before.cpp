// Word counter: counts the words on standard input.
#include <cctype>
#include <cstdio>

/* A word is a run of letters. */
static int isWordChar(int c) { return std::isalpha(c); }

int main() {
    long words = 0;  // words seen so far
    int inWord = 0;
    for (int c = std::getchar(); c != EOF; c = std::getchar()) {
        if (isWordChar(c)) {
            if (!inWord) { ++words; }
            inWord = 1;
        } else {
            inWord = 0; /* left a word */
        }
    }
    std::printf("%ld\n", words);
    return 0;
}
