// The anchor of bench/viewer_bench.py: a program that does nothing but SDL's own video
// initialisation, a window and one presented frame, then ends. lvrview's time to its first splash
// frame is set against this program's time from start to its frame.
#include <SDL2/SDL.h>

#include <cstdio>

int main() {
  if (SDL_Init(SDL_INIT_VIDEO) != 0) return 1;
  SDL_Window* window = SDL_CreateWindow("anchor", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, 164, 314, 0);
  if (!window) return 1;
  SDL_Surface* surface = SDL_GetWindowSurface(window);
  if (surface) {
    SDL_FillRect(surface, nullptr, SDL_MapRGB(surface->format, 255, 255, 255));
    SDL_UpdateWindowSurface(window);
  }
  // The frame is on screen: the bench stops its clock at this line, before the tear-down.
  std::puts("frame");
  std::fflush(stdout);
  SDL_DestroyWindow(window);
  SDL_Quit();
  return 0;
}
