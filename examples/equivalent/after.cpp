#include <cctype>
#include <cstdio>

// A word is a run of letters.
static int isWordChar(int c)
{
  return std::isalpha(c);
}

int main()
{
  // words seen so far
  long words = 0;
  int inWord = 0;
  for (int c = std::getchar();
       c != EOF;
       c = std::getchar())
  {
    if (isWordChar(c))
    {
      if (!inWord)
      {
        ++words;
      }
      inWord = 1;
    }
    else
    {
      /* left a word */
      inWord = 0;
    }
  }
  std::printf("%ld\n", words);   
  return 0;
}
