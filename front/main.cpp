// The program's entry point: start up, show the usage screen or run one
// route, shut down. The exit status is -1 only when start-up failed.
#include "front/dispatch.h"
#include "front/startup.h"
#include "pathtext/pathtext.h"
#include "platform/platform.h"
#include "usage/usage.h"

int main(int argc, char** argv) {
  LoadLeadBytes(IsAnsiLeadByte);
  if (!StartUp()) return -1;
  if (argc == 1) PrintUsage();
  else Dispatch(argc, argv);
  ShutDown();
  return 0;
}
