// The program's entry point: start up, show the usage screen or run one
// route, shut down. The exit status is -1 (255) when start-up failed, else
// what Dispatch returns (0 for the usage screen).
#include "front/dispatch.h"
#include "front/startup.h"
#include "pathtext/pathtext.h"
#include "platform/platform.h"
#include "usage/usage.h"

int main(int argc, char** argv) {
  LoadLeadBytes(IsAnsiLeadByte);
  if (!StartUp()) return -1;
  int status = 0;
  if (argc == 1) PrintUsage();
  else status = Dispatch(argc, argv);
  ShutDown();
  return status;
}
