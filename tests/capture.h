// In-process tests: the reports a stage prints, held back and read.
#ifndef MATCHLING_TEST_CAPTURE_H
#define MATCHLING_TEST_CAPTURE_H

#include <string>

#include "console/spool.h"

// Reports of this thread, held back while it lives instead of printed.
class ConsoleCapture {
public:
    ConsoleCapture() { consoleTo(&spool_); }
    ~ConsoleCapture() { consoleTo(nullptr); }
    // What was reported so far; empties the capture.
    std::string take()
    {
        std::string text = spool_.text;
        spool_.text.clear();
        return text;
    }

private:
    Spool spool_;
};

#endif
