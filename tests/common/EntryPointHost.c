/* A host program written in C that loads an uninstall library the way another product would:
 * dlopen the shared library, find entry points by their exact names with dlsym, call one.
 *
 *   entry_point_host <library> --check <name>...        every name must resolve
 *   entry_point_host <library> <name> ss <text|-> <text|->  int32_t f(const char*, const char*)
 *   entry_point_host <library> <name> sb <text|-> <0|1>     int32_t f(const char*, bool)
 *   entry_point_host <library> <name> s <text|->            int32_t f(const char*)
 * "-" passes a null pointer. Prints "status=<n>" on its own line and exits 0; exits 2 when the
 * library or a name cannot be found. */
#include <dlfcn.h>
#include <stdbool.h>
#include <stdint.h>
#include <stdio.h>
#include <string.h>

typedef int32_t (*TwoTexts)(const char*, const char*);
typedef int32_t (*TextAndFlag)(const char*, bool);
typedef int32_t (*OneText)(const char*);

static const char* textOrNull(const char* argument) {
  return strcmp(argument, "-") == 0 ? NULL : argument;
}

static void* entryPoint(void* library, const char* name) {
  dlerror();
  void* symbol = dlsym(library, name);
  if (symbol == NULL) fprintf(stderr, "no entry point %s: %s\n", name, dlerror());
  return symbol;
}

static int call(void* symbol, const char* signature, int argc, char** argv) {
  int32_t status;
  if (strcmp(signature, "ss") == 0 && argc == 2) {
    TwoTexts f;
    memcpy(&f, &symbol, sizeof f);
    status = f(textOrNull(argv[0]), textOrNull(argv[1]));
  } else if (strcmp(signature, "sb") == 0 && argc == 2) {
    TextAndFlag f;
    memcpy(&f, &symbol, sizeof f);
    status = f(textOrNull(argv[0]), strcmp(argv[1], "1") == 0);
  } else if (strcmp(signature, "s") == 0 && argc == 1) {
    OneText f;
    memcpy(&f, &symbol, sizeof f);
    status = f(textOrNull(argv[0]));
  } else {
    fprintf(stderr, "bad signature or arguments\n");
    return 2;
  }
  fflush(stdout);
  printf("status=%d\n", (int)status);
  return 0;
}

int main(int argc, char** argv) {
  if (argc < 3) return 2;
  void* library = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
  if (library == NULL) {
    fprintf(stderr, "cannot load %s: %s\n", argv[1], dlerror());
    return 2;
  }
  if (strcmp(argv[2], "--check") == 0) {
    for (int i = 3; i < argc; ++i) {
      if (entryPoint(library, argv[i]) == NULL) return 2;
    }
    printf("status=0\n");
    return 0;
  }
  if (argc < 4) return 2;
  void* symbol = entryPoint(library, argv[2]);
  if (symbol == NULL) return 2;
  return call(symbol, argv[3], argc - 4, argv + 4);
}
