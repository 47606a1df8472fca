// The anchor of bench/viewer_bench.py: a program that does nothing but SDL's own video
// initialisation and says so on standard output. lvrview's time to its first splash frame is
// set against this program's time from its start to that line.
#include <SDL2/SDL.h>

#include <cstdio>

int main() {
  if (SDL_Init(SDL_INIT_VIDEO) != 0) return 1;
  std::puts("initialised");
  std::fflush(stdout);
  SDL_Quit();
  return 0;
}
