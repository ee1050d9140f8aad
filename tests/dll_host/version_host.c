/* Reads Tessaryn.dll's version resource as Windows Explorer and hosts do (GetFileVersionInfo)
 * and checks it against the project's version and names.
 * Usage: version_host <Tessaryn.dll> <major.minor.patch> <Key=Value>...
 * Each Key=Value is a string the resource must hold (FileDescription=..., ProductName=...);
 * FileVersion and ProductVersion must be the version given, in the strings and in the fixed
 * numeric part. Exit status 0 when every check passed. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <windows.h>

static int failures;

static void Fail(const char* what, const char* got, const char* want) {
  printf("FAIL: %s is '%s', expected '%s'\n", what, got, want);
  ++failures;
}

/* The string value `key` of the resource's first translation, or NULL. */
static const char* StringValue(void* info, const char* key) {
  struct {
    WORD language;
    WORD codePage;
  } * translation;
  UINT length = 0;
  if (!VerQueryValueA(info, "\\VarFileInfo\\Translation", (void**)&translation, &length) ||
      length < sizeof *translation) {
    return NULL;
  }
  char path[128];
  snprintf(path, sizeof path, "\\StringFileInfo\\%04x%04x\\%s", translation->language,
           translation->codePage, key);
  char* value = NULL;
  if (!VerQueryValueA(info, path, (void**)&value, &length) || length == 0)
    return NULL;
  return value;
}

static void ExpectString(void* info, const char* key, const char* want) {
  const char* got = StringValue(info, key);
  if (got == NULL || strcmp(got, want) != 0)
    Fail(key, got == NULL ? "(missing)" : got, want);
}

static void ExpectNumber(const char* what, DWORD high, DWORD low, const unsigned want[3]) {
  char got[64];
  char wanted[64];
  snprintf(got, sizeof got, "%lu.%lu.%lu.%lu", (unsigned long)HIWORD(high),
           (unsigned long)LOWORD(high), (unsigned long)HIWORD(low), (unsigned long)LOWORD(low));
  snprintf(wanted, sizeof wanted, "%u.%u.%u.0", want[0], want[1], want[2]);
  if (strcmp(got, wanted) != 0)
    Fail(what, got, wanted);
}

int main(int argc, char** argv) {
  unsigned version[3];
  char tail;
  if (argc < 3 ||
      sscanf(argv[2], "%u.%u.%u%c", &version[0], &version[1], &version[2], &tail) != 3) {
    fprintf(stderr, "usage: %s <Tessaryn.dll> <major.minor.patch> <Key=Value>...\n", argv[0]);
    return 2;
  }
  DWORD handle = 0;
  const DWORD size = GetFileVersionInfoSizeA(argv[1], &handle);
  void* info = size == 0 ? NULL : malloc(size);
  if (info == NULL || !GetFileVersionInfoA(argv[1], 0, size, info)) {
    printf("FAIL: %s has no version resource (error %lu)\n", argv[1], GetLastError());
    return 1;
  }

  VS_FIXEDFILEINFO* fixed = NULL;
  UINT length = 0;
  if (!VerQueryValueA(info, "\\", (void**)&fixed, &length) || length < sizeof *fixed ||
      fixed->dwSignature != 0xFEEF04BDu) {
    printf("FAIL: %s: no fixed version information\n", argv[1]);
    return 1;
  }
  ExpectNumber("numeric file version", fixed->dwFileVersionMS, fixed->dwFileVersionLS, version);
  ExpectNumber("numeric product version", fixed->dwProductVersionMS, fixed->dwProductVersionLS,
               version);
  if (fixed->dwFileType != VFT_DLL)
    Fail("file type", "not VFT_DLL", "VFT_DLL");
  ExpectString(info, "FileVersion", argv[2]);
  ExpectString(info, "ProductVersion", argv[2]);

  for (int a = 3; a < argc; ++a) {
    char key[64];
    const char* equals = strchr(argv[a], '=');
    if (equals == NULL || (size_t)(equals - argv[a]) >= sizeof key) {
      fprintf(stderr, "not Key=Value: %s\n", argv[a]);
      return 2;
    }
    memcpy(key, argv[a], (size_t)(equals - argv[a]));
    key[equals - argv[a]] = '\0';
    ExpectString(info, key, equals + 1);
  }
  printf("%s: version %s, %d strings checked, %d failures\n", argv[1], argv[2], argc - 1, failures);
  free(info);
  return failures == 0 ? 0 : 1;
}
