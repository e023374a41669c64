/* A plug-in that calls the engine as soon as it is loaded. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "velmora/plugin.h"

static void __attribute__((constructor)) loaded(void) {
  char message[128];
  size_t length = 6;
  char* utf16 = utf8_to_utf16("plugin", &length);
  char* back = utf16_to_sjis(utf16, &length);
  snprintf(message, sizeof message, "%s %08X %s %s", back, (unsigned)crc32_hash("123456789"), errcmd(),
           fileMemory() ? "memory" : "none");
  free(utf16);
  free(back);
  errorc(message, 0);
}

void DeviceLost(void) {}
void DeviceReset(void) {}
