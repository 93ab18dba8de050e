#include <cstdio>

int main() {
  std::fputs("chati-server: not ready yet\n", stderr);
  return 1;
}
