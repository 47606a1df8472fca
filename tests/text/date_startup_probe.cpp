// A program for the start-up test: main touches nothing before it prints, so what it prints is
// what the program's start-up read from the environment's time locale.
#include <cstdio>

#include "framework/text/date_format.h"
#include "framework/text/date_parse.h"

int main() {
  using namespace lumra::text;
  const DateTime may_first{2015, 5, 0, 1, 15, 5, 7, 0};
  DateTime parsed{};
  const int ok = parse_date(&parsed, "3.4.2015");
  std::printf("%s|%s|%d-%02d-%02d\n", format_short_date(may_first), format_time(may_first, 1),
              ok ? parsed.year : 0, parsed.month, parsed.day);
  return 0;
}
