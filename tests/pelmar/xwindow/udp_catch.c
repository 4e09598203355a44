/* Catches the picker reply: binds 127.0.0.1:PORT, writes the first datagram
 * to FILE (written to FILE.part, then renamed, so readers see all or
 * nothing) and ends. Ends with 1 after SECONDS without one.
 *   udp_catch PORT FILE [SECONDS] */
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/socket.h>
#include <unistd.h>

int main(int argc, char** argv) {
  if (argc < 3) {
    fprintf(stderr, "usage: udp_catch PORT FILE [SECONDS]\n");
    return 2;
  }
  int seconds = argc > 3 ? atoi(argv[3]) : 120;
  int fd = socket(AF_INET, SOCK_DGRAM, 0);
  struct sockaddr_in address;
  memset(&address, 0, sizeof address);
  address.sin_family = AF_INET;
  address.sin_port = htons((unsigned short)atoi(argv[1]));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (fd < 0 || bind(fd, (struct sockaddr*)&address, sizeof address) != 0) {
    perror("udp_catch: bind");
    return 2;
  }
  /* Bound: whoever waits for the listener may start the sender now. */
  printf("listening\n");
  fflush(stdout);
  struct pollfd p = {fd, POLLIN, 0};
  if (poll(&p, 1, seconds * 1000) != 1) return 1;
  char buffer[2048];
  ssize_t n = recv(fd, buffer, sizeof buffer, 0);
  if (n < 0) return 1;
  char part[4096];
  snprintf(part, sizeof part, "%s.part", argv[2]);
  FILE* out = fopen(part, "wb");
  if (!out || fwrite(buffer, 1, (size_t)n, out) != (size_t)n || fclose(out) != 0) return 2;
  return rename(part, argv[2]) == 0 ? 0 : 2;
}
