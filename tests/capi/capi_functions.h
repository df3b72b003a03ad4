/* How capi_cases.c reaches the C interface: linked to libquillfern_c on
 * Linux; on Windows through LoadLibrary and GetProcAddress on the DLL
 * named by QUILLFERN_DLL (default quillfern.dll), as a host without an
 * import library does. QF(name) is the function quillfern_name. */
#ifndef QUILLFERN_CAPI_FUNCTIONS_H
#define QUILLFERN_CAPI_FUNCTIONS_H

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "capi/quillfern.h"

static void check_failed(const char *what);

#ifndef _WIN32

#define QF(name) quillfern_##name
static void load_functions(void) {}

static void path_of(const char *name, size_t length, quillfern_path_char *out, size_t room) {
  if (length >= room) length = room - 1;
  memcpy(out, name, length);
  out[length] = '\0';
}

/* A file by its name as the C interface takes it. */
static FILE *open_path(const quillfern_path_char *name, const char *mode) { return fopen(name, mode); }
static int remove_path(const quillfern_path_char *name) { return remove(name); }
/* Names beyond ASCII: Cyrillic letters and a character outside the
 * Basic Multilingual Plane. */
#define QF_UNICODE_PLAIN "\xd1\x84\xd0\xb0\xd0\xb9\xd0\xbb-\xf0\x9f\x98\x80.bin"
#define QF_UNICODE_CODED "\xd1\x84\xd0\xb0\xd0\xb9\xd0\xbb-\xf0\x9f\x98\x80-coded.bin"
static const char *code_page_note(void) { return "UTF-8 names"; }

/* Byte sequences that are not UTF-8: each is error 52, and no file is made. */
static void bad_paths_check(quillfern_context *q) {
  static const char *const bad[] = {"qf_\xff.bin", "qf_\xc0\xaf.bin", "qf_\xed\xa0\x80.bin", "qf_\xe2\x82",
                                    "qf_\xf4\x90\x80\x80.bin"};
  size_t i;
  for (i = 0; i < sizeof bad / sizeof bad[0]; ++i) {
    FILE *probe;
    if (quillfern_WipeFileClean(q, bad[i]) != 52) check_failed("an invalid UTF-8 name is error 52 (wipe)");
    if (quillfern_EncodeDecodeFile(q, "qf_none.bin", bad[i], "p", 1, NULL) != 52) {
      check_failed("an invalid UTF-8 name is error 52 (file cipher)");
    }
    probe = fopen(bad[i], "rb");
    if (probe != NULL) {
      fclose(probe);
      check_failed("no file is made under an invalid name");
    }
  }
  /* Valid UTF-8 beyond ASCII is a name like any other. */
  if (quillfern_WipeFileClean(q, "qf_\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80.bin") != 53) {
    check_failed("a missing file with a UTF-8 name is error 53");
  }
}

#else

#include <windows.h>

#define QF_FUNCTIONS(X)                                                                                     \
  X(version) X(strerror) X(context_new) X(context_free) X(set_message_box) X(get_generator_state)          \
  X(set_generator_state) X(get_Enabled) X(put_Enabled) X(About) X(EncryptPassword) X(DecryptPassword)       \
  X(convert) X(DeConvert) X(EasyCryptEnCode) X(EasyCryptDeCode) X(EncodeDecodeFile) X(PowerEncryption)      \
  X(FastBlowFish) X(SeedEncryption) X(TextBoxCrypt) X(TextBoxDeCrypt) X(DeCipherText) X(EnCipherText)      \
  X(WipeFileClean) X(rnd) X(rnd_last) X(randomize) X(randomize_timer) X(identify)

#define QF_POINTER(name) static __typeof__(&quillfern_##name) qf_##name;
QF_FUNCTIONS(QF_POINTER)
#define QF(name) qf_##name

static void load_functions(void) {
  const char *dll = getenv("QUILLFERN_DLL");
  HMODULE module = LoadLibraryA(dll != NULL ? dll : "quillfern.dll");
  if (module == NULL) {
    fprintf(stderr, "cannot load %s\n", dll != NULL ? dll : "quillfern.dll");
    exit(2);
  }
#define QF_LOAD(name)                                                                  \
  {                                                                                    \
    FARPROC found = GetProcAddress(module, "quillfern_" #name);                        \
    if (found == NULL) {                                                               \
      fprintf(stderr, "the DLL does not export quillfern_%s\n", #name);                \
      exit(2);                                                                         \
    }                                                                                  \
    memcpy(&qf_##name, &found, sizeof found);                                          \
  }
  QF_FUNCTIONS(QF_LOAD)
}

static void path_of(const char *name, size_t length, quillfern_path_char *out, size_t room) {
  size_t i;
  if (length >= room) length = room - 1;
  for (i = 0; i < length; ++i) out[i] = (wchar_t)(unsigned char)name[i];
  out[length] = L'\0';
}

static FILE *open_path(const quillfern_path_char *name, const char *mode) {
  return _wfopen(name, mode[0] == 'r' ? L"rb" : L"wb");
}
static int remove_path(const quillfern_path_char *name) { return _wremove(name); }
#define QF_UNICODE_PLAIN L"\u0444\u0430\u0439\u043b-\U0001F600.bin"
#define QF_UNICODE_CODED L"\u0444\u0430\u0439\u043b-\U0001F600-coded.bin"
/* The names above are outside every ANSI code page but UTF-8's. */
static const char *code_page_note(void) {
  static char note[48];
  snprintf(note, sizeof note, "UTF-16 names, ANSI code page %u", GetACP());
  return note;
}

/* UTF-16 that is not well formed: a lone surrogate is error 52. */
static void bad_paths_check(quillfern_context *q) {
  static const wchar_t lone_high[] = {L'q', L'f', 0xD800, L'.', L'b', 0};
  static const wchar_t lone_low[] = {L'q', L'f', 0xDC00, 0};
  if (qf_WipeFileClean(q, lone_high) != 52) check_failed("a lone high surrogate is error 52");
  if (qf_EncodeDecodeFile(q, L"qf_none.bin", lone_low, "p", 1, NULL) != 52) {
    check_failed("a lone low surrogate is error 52");
  }
}

#endif

#endif
