/* Replays the Windows case file (every case of the vector files and the
 * client's own cases, with the answers of the C++ library) through the C
 * interface, and checks the interface's own rules: the size-then-fill
 * protocol, the output rule, NULL pointers, lengths out of range, paths
 * that are not UTF-8 and callbacks with odd answers.
 *
 * usage: capi_cases CASES_FILE [RND_VECTORS]
 *   (run in a scratch folder: the file cases create and remove their files
 *   there; RND_VECTORS is docs/rnd-vectors.txt, the generator's answers)
 * The same source builds for Windows, where it loads quillfern.dll with
 * LoadLibrary and GetProcAddress (capi_functions.h). */
#include <errno.h>
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static int failures = 0;
static int checks = 0;
static int lost_cases = 0; /* cases whose result lacks codes of the input */
static const char *where = "";

static void check_failed(const char *what) {
  ++checks;
  ++failures;
  fprintf(stderr, "FAIL %s: %s\n", where, what);
}

#include "tests/capi/capi_functions.h"

#define CHECK(condition, ...)                                   \
  do {                                                          \
    ++checks;                                                   \
    if (!(condition)) {                                         \
      ++failures;                                               \
      fprintf(stderr, "FAIL %s: %s: ", where, #condition);      \
      fprintf(stderr, __VA_ARGS__);                             \
      fputc('\n', stderr);                                      \
    }                                                           \
  } while (0)

/* ---- texts ------------------------------------------------------------- */
typedef struct {
  char *data;
  size_t length;
  int empty; /* the empty variant */
} text;

static void *allocate(size_t size) {
  void *p = malloc(size == 0 ? 1 : size);
  if (p == NULL) {
    fprintf(stderr, "out of memory\n");
    exit(2);
  }
  return p;
}

static int hex_digit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

static text from_hex(const char *hex, size_t length) {
  text t;
  size_t i;
  t.length = length / 2;
  t.data = allocate(t.length + 1);
  t.empty = 0;
  for (i = 0; i < t.length; ++i) t.data[i] = (char)(hex_digit(hex[2 * i]) * 16 + hex_digit(hex[2 * i + 1]));
  t.data[t.length] = '\0';
  return t;
}

static int same(const text *a, const char *data, size_t length) {
  return a->length == length && (length == 0 || memcmp(a->data, data, length) == 0);
}

/* ---- the case file ------------------------------------------------------- */
typedef struct {
  char kind; /* 'E', 'S', 'Y', 'B' */
  text value;
  int number;
} value;

typedef struct {
  int style;
  text title, body;
} message;

typedef struct {
  text name, content;
  int exists;
} file_state;

#define MAX_ITEMS 8
typedef struct {
  char name[64], kind[16];
  int argc;
  value args[MAX_ITEMS];
  int files_before_count;
  file_state files_before[MAX_ITEMS];
  int error;
  text description;
  value result;
  value after[MAX_ITEMS];
  int message_count;
  message messages[MAX_ITEMS];
  int files_after_count;
  file_state files_after[MAX_ITEMS];
} test_case;

static char *token(char **cursor) {
  char *start = *cursor, *end;
  if (*start == '\0') {
    fprintf(stderr, "case line ends early\n");
    exit(2);
  }
  end = strchr(start, ' ');
  if (end != NULL) {
    *end = '\0';
    *cursor = end + 1;
  } else {
    *cursor = start + strlen(start);
  }
  return start;
}

static int count(char **cursor) {
  int n = atoi(token(cursor));
  if (n < 0 || n > MAX_ITEMS) {
    fprintf(stderr, "count out of range\n");
    exit(2);
  }
  return n;
}

static value parse_value(const char *t) {
  value v;
  memset(&v, 0, sizeof v);
  v.kind = t[0];
  if (t[0] == 'S') v.value = from_hex(t + 2, strlen(t + 2));
  if (t[0] == 'Y') v.number = atoi(t + 2);
  if (t[0] == 'B') v.number = t[2] == '1';
  return v;
}

static file_state parse_file(const char *t) {
  file_state f;
  const char *colon = strchr(t + 2, ':');
  f.name = from_hex(t + 2, (size_t)(colon - (t + 2)));
  f.exists = strcmp(colon + 1, "-") != 0;
  f.content = from_hex(colon + 1, f.exists ? strlen(colon + 1) : 0);
  return f;
}

static void parse_case(char *line, test_case *c) {
  char *cursor = line, *t;
  int i;
  memset(c, 0, sizeof *c);
  snprintf(c->name, sizeof c->name, "%s", token(&cursor));
  snprintf(c->kind, sizeof c->kind, "%s", token(&cursor));
  c->argc = count(&cursor);
  for (i = 0; i < c->argc; ++i) c->args[i] = parse_value(token(&cursor));
  c->files_before_count = count(&cursor);
  for (i = 0; i < c->files_before_count; ++i) c->files_before[i] = parse_file(token(&cursor));
  t = token(&cursor);
  c->error = atoi(t + 2);
  if (c->error != 0) {
    const char *hex = strchr(t + 2, ':') + 1;
    c->description = from_hex(hex, strlen(hex));
  }
  c->result = parse_value(token(&cursor));
  for (i = 0; i < c->argc; ++i) c->after[i] = parse_value(token(&cursor));
  c->message_count = count(&cursor);
  for (i = 0; i < c->message_count; ++i) {
    char *m = token(&cursor), *title = strchr(m + 2, ':'), *body = strchr(title + 1, ':');
    c->messages[i].style = atoi(m + 2);
    c->messages[i].title = from_hex(title + 1, (size_t)(body - title - 1));
    c->messages[i].body = from_hex(body + 1, strlen(body + 1));
  }
  c->files_after_count = count(&cursor);
  for (i = 0; i < c->files_after_count; ++i) c->files_after[i] = parse_file(token(&cursor));
}

static void free_value(value *v) { free(v->value.data); }
static void free_case(test_case *c) {
  int i;
  for (i = 0; i < c->argc; ++i) {
    free_value(&c->args[i]);
    free_value(&c->after[i]);
  }
  for (i = 0; i < c->files_before_count; ++i) {
    free(c->files_before[i].name.data);
    free(c->files_before[i].content.data);
  }
  for (i = 0; i < c->files_after_count; ++i) {
    free(c->files_after[i].name.data);
    free(c->files_after[i].content.data);
  }
  for (i = 0; i < c->message_count; ++i) {
    free(c->messages[i].title.data);
    free(c->messages[i].body.data);
  }
  free_value(&c->result);
  free(c->description.data);
}

static char *read_line(FILE *in) {
  size_t size = 4096, used = 0;
  char *line = allocate(size);
  int ch;
  while ((ch = getc(in)) != EOF && ch != '\n') {
    if (used + 1 >= size) {
      char *bigger = realloc(line, size *= 2);
      if (bigger == NULL) exit(2);
      line = bigger;
    }
    line[used++] = (char)ch;
  }
  if (ch == EOF && used == 0) {
    free(line);
    return NULL;
  }
  line[used] = '\0';
  return line;
}

/* ---- the message boxes ------------------------------------------------- */
typedef struct {
  int count;
  message seen[MAX_ITEMS];
  int answer;
} box_log;

static int QUILLFERN_CALL record_box(void *user_data, const char *body, int style, const char *title) {
  box_log *log = user_data;
  if (log->count < MAX_ITEMS) {
    message *m = &log->seen[log->count];
    m->style = style;
    m->body.length = strlen(body);
    m->body.data = allocate(m->body.length + 1);
    memcpy(m->body.data, body, m->body.length + 1);
    m->title.length = strlen(title);
    m->title.data = allocate(m->title.length + 1);
    memcpy(m->title.data, title, m->title.length + 1);
  }
  ++log->count;
  return log->answer;
}

static void clear_log(box_log *log) {
  int i;
  for (i = 0; i < log->count && i < MAX_ITEMS; ++i) {
    free(log->seen[i].body.data);
    free(log->seen[i].title.data);
  }
  log->count = 0;
}

/* ---- one call of an operation by its name -------------------------------- */
/* Up to two texts come back (the written parameters, then the result);
 * `capacity` is the room given to each; `length` receives their lengths. */
typedef struct {
  int status;
  char *out[2];
  size_t capacity[2];
  size_t length[2];
  int flag;
} outcome;

static const char *arg_text(const test_case *c, int i, size_t *length) {
  *length = c->args[i].value.length;
  return c->args[i].value.data;
}

static int call_named(quillfern_context *q, const test_case *c, outcome *o) {
  const char *name = c->name;
  size_t l0 = 0, l1 = 0, l2 = 0;
  const char *a0 = c->argc > 0 ? arg_text(c, 0, &l0) : NULL;
  const char *a1 = c->argc > 1 ? arg_text(c, 1, &l1) : NULL;
  const char *a2 = c->argc > 2 ? arg_text(c, 2, &l2) : NULL;
  unsigned char number = c->argc > 0 ? (unsigned char)c->args[0].number : 0;
  char *b0 = o->out[0], *b1 = o->out[1];
  size_t c0 = o->capacity[0], c1 = o->capacity[1];
  size_t *n0 = &o->length[0], *n1 = &o->length[1];
  (void)l2;
  if (strcmp(name, "Enabled") == 0 && strcmp(c->kind, "get") == 0) return QF(get_Enabled)(q, &o->flag);
  if (strcmp(name, "Enabled") == 0) return QF(put_Enabled)(q, c->args[0].number);
  if (strcmp(name, "About") == 0) return QF(About)(q);
  if (strcmp(name, "EncryptPassword") == 0) return QF(EncryptPassword)(q, number, a1, l1, b0, c0, n0);
  if (strcmp(name, "DecryptPassword") == 0) return QF(DecryptPassword)(q, number, a1, l1, b0, c0, n0);
  if (strcmp(name, "convert") == 0) return QF(convert)(q, a0, l0, b0, c0, n0);
  if (strcmp(name, "DeConvert") == 0) return QF(DeConvert)(q, a0, l0, b0, c0, n0);
  if (strcmp(name, "EasyCryptEnCode") == 0) return QF(EasyCryptEnCode)(q, a0, l0, b0, c0, n0);
  if (strcmp(name, "EasyCryptDeCode") == 0) return QF(EasyCryptDeCode)(q, a0, l0, b0, c0, n0);
  if (strcmp(name, "PowerEncryption") == 0) return QF(PowerEncryption)(q, a0, l0, b0, c0, n0);
  if (strcmp(name, "FastBlowFish") == 0) return QF(FastBlowFish)(q, a0, l0, b0, c0, n0, a2, l2);
  if (strcmp(name, "SeedEncryption") == 0) return QF(SeedEncryption)(q, a0, l0, a1, l1, b0, c0, n0);
  if (strcmp(name, "TextBoxCrypt") == 0) return QF(TextBoxCrypt)(q, a0, l0, a1, l1, b0, c0, n0, b1, c1, n1);
  if (strcmp(name, "TextBoxDeCrypt") == 0) return QF(TextBoxDeCrypt)(q, a0, l0, a1, l1, b0, c0, n0, b1, c1, n1);
  if (strcmp(name, "DeCipherText") == 0) return QF(DeCipherText)(q, a0, l0, a1, l1, b0, c0, n0);
  if (strcmp(name, "EnCipherText") == 0) return QF(EnCipherText)(q, a0, l0, a1, l1, b0, c0, n0);
  if (strcmp(name, "EncodeDecodeFile") == 0 || strcmp(name, "WipeFileClean") == 0) {
    quillfern_path_char p0[512], p1[512];
    path_of(a0, l0, p0, 512);
    if (strcmp(name, "WipeFileClean") == 0) return QF(WipeFileClean)(q, p0);
    path_of(a1, l1, p1, 512);
    return QF(EncodeDecodeFile)(q, p0, p1, a2, l2, NULL);
  }
  fprintf(stderr, "the C interface has no function for %s %s\n", name, c->kind);
  ++failures;
  return -100;
}

/* The values a case's outputs are compared with: its written parameters
 * after the call, then its result. */
static int expected_outputs(const test_case *c, const value *expected[2]) {
  int n = 0, i;
  for (i = 0; i < c->argc; ++i) {
    int written = (strcmp(c->name, "TextBoxCrypt") == 0 || strcmp(c->name, "TextBoxDeCrypt") == 0) ? i == 1
                  : (strcmp(c->name, "FastBlowFish") == 0) ? i == 1
                  : (strcmp(c->name, "EncryptPassword") == 0 || strcmp(c->name, "DecryptPassword") == 0) ? i == 2
                  : (strcmp(c->name, "convert") == 0 || strcmp(c->name, "DeConvert") == 0 ||
                     strcmp(c->name, "EasyCryptEnCode") == 0 || strcmp(c->name, "EasyCryptDeCode") == 0) ? i == 1
                  : 0;
    if (written) expected[n++] = &c->after[i];
  }
  if (c->result.kind == 'S' || (c->result.kind == 'E' && (strcmp(c->name, "TextBoxCrypt") == 0 ||
                                                          strcmp(c->name, "TextBoxDeCrypt") == 0))) {
    expected[n++] = &c->result;
  } else if (strcmp(c->name, "PowerEncryption") == 0 || strcmp(c->name, "SeedEncryption") == 0 ||
             strcmp(c->name, "DeCipherText") == 0 || strcmp(c->name, "EnCipherText") == 0) {
    expected[n++] = &c->result; /* failed: E, nothing is written */
  }
  return n;
}

/* Whether a case's result lacks codes of its input: the text-box pair
 * gives one code per code it keeps, and the cipher-text pair the password
 * and the whole text (or the whole text after the password). */
static int lost_codes(const test_case *c, const value *expected[2]) {
  const int text_box = strcmp(c->name, "TextBoxCrypt") == 0 || strcmp(c->name, "TextBoxDeCrypt") == 0;
  size_t produced, whole;
  if (text_box) {
    produced = expected[1]->kind == 'E' ? 0 : expected[1]->value.length;
    return produced < c->args[0].value.length;
  }
  produced = expected[0] != NULL && expected[0]->kind == 'S' ? expected[0]->value.length : 0;
  if (strcmp(c->name, "EnCipherText") == 0) {
    return produced < c->args[0].value.length + c->args[1].value.length;
  }
  if (strcmp(c->name, "DeCipherText") == 0) {
    whole = c->args[0].value.length - c->args[1].value.length;
    return produced < whole;
  }
  return 0;
}

static void write_file(const file_state *f) {
  FILE *out = fopen(f->name.data, "wb");
  if (out == NULL) {
    fprintf(stderr, "cannot write %s: %s\n", f->name.data, strerror(errno));
    exit(2);
  }
  if (f->content.length > 0) fwrite(f->content.data, 1, f->content.length, out);
  fclose(out);
}

static void check_file(const file_state *f) {
  FILE *in = fopen(f->name.data, "rb");
  CHECK((in != NULL) == f->exists, "file %s exists: %d", f->name.data, in != NULL);
  if (in != NULL) {
    char *content = allocate(f->content.length + 1);
    size_t got = fread(content, 1, f->content.length + 1, in);
    CHECK(same(&f->content, content, got), "file %s content (%lu bytes)", f->name.data, (unsigned long)got);
    free(content);
    fclose(in);
    remove(f->name.data);
  }
}

static void run_case(quillfern_context *q, box_log *log, const test_case *c) {
  outcome o;
  const value *expected[2] = {NULL, NULL};
  const int outputs = expected_outputs(c, expected);
  int i, status, refused = 0, lost;
  memset(&o, 0, sizeof o);
  for (i = 0; i < c->files_before_count; ++i) write_file(&c->files_before[i]);
  for (i = 0; i < c->message_count; ++i) refused |= c->messages[i].style == 12;

  /* Size first: no room at all. */
  clear_log(log);
  status = call_named(q, c, &o);
  if (c->error != 0) {
    CHECK(status == c->error, "status %d, expected error %d", status, c->error);
    CHECK(strncmp(c->description.data, QF(strerror)(status), strlen(QF(strerror)(status))) == 0,
          "description \"%s\" for \"%s\"", QF(strerror)(status), c->description.data);
  } else if (status == QUILLFERN_TOO_SMALL) {
    CHECK(log->count == 0, "a call without room shows no box (%d shown)", log->count);
    for (i = 0; i < outputs; ++i) {
      o.capacity[i] = o.length[i] == QUILLFERN_NO_VALUE ? 0 : o.length[i];
      o.out[i] = allocate(o.capacity[i]);
      o.length[i] = 12345;
    }
    /* One byte short of the first non-empty output: still too small. */
    for (i = 0; i < outputs; ++i) {
      if (o.capacity[i] > 0) {
        --o.capacity[i];
        CHECK(call_named(q, c, &o) == QUILLFERN_TOO_SMALL, "one byte short is too small");
        ++o.capacity[i];
        break;
      }
    }
    clear_log(log);
    status = call_named(q, c, &o);
  }
  lost = !refused && c->error == 0 && lost_codes(c, expected);
  lost_cases += lost;
  if (c->error == 0) {
    CHECK(status == (refused ? QUILLFERN_REFUSED : lost ? QUILLFERN_LOST : 0), "status %d (%s)", status,
          QF(strerror)(status));
    for (i = 0; i < outputs; ++i) {
      if (expected[i]->kind == 'E') {
        CHECK(o.length[i] == QUILLFERN_NO_VALUE, "output %d is the empty variant", i);
      } else {
        CHECK(same(&expected[i]->value, o.out[i], o.length[i]), "output %d (%lu bytes, expected %lu)", i,
              (unsigned long)o.length[i], (unsigned long)expected[i]->value.length);
      }
    }
    if (c->result.kind == 'B') CHECK(o.flag == c->result.number, "Enabled is %d", o.flag);
  }
  CHECK(log->count == c->message_count, "%d boxes, expected %d", log->count, c->message_count);
  for (i = 0; i < c->message_count && i < log->count && i < MAX_ITEMS; ++i) {
    CHECK(log->seen[i].style == c->messages[i].style, "box %d style %d", i, log->seen[i].style);
    CHECK(same(&c->messages[i].body, log->seen[i].body.data, log->seen[i].body.length), "box %d text %s", i,
          log->seen[i].body.data);
    CHECK(same(&c->messages[i].title, log->seen[i].title.data, log->seen[i].title.length), "box %d title %s", i,
          log->seen[i].title.data);
  }
  for (i = 0; i < c->files_after_count; ++i) check_file(&c->files_after[i]);
  for (i = 0; i < 2; ++i) free(o.out[i]);
}

/* ---- the interface's own rules ------------------------------------------ */
static void check_losses(quillfern_context *q);
static void check_unicode_names(quillfern_context *q);
static void check_identify(quillfern_context *q);

static int QUILLFERN_CALL odd_answer(void *user_data, const char *body, int style, const char *title) {
  int *calls = user_data;
  (void)body;
  (void)style;
  (void)title;
  ++*calls;
  return *calls % 2 ? INT_MIN : INT_MAX;
}

static void check_rules(void) {
  quillfern_context *q = NULL;
  char out[64];
  size_t length = 777;
  int calls = 0, flag = 5;
  uint32_t state;
  where = "rules";
  CHECK(QF(context_new)(1234, &q) == QUILLFERN_INVALID_ARGUMENT && q == NULL, "unknown code page");
  CHECK(QF(context_new)(QUILLFERN_CODE_PAGE_1252, NULL) == QUILLFERN_INVALID_ARGUMENT, "no place for it");
  CHECK(QF(context_new)(QUILLFERN_CODE_PAGE_1252, &q) == 0 && q != NULL, "a context");
  CHECK(strlen(QF(version)()) >= 5, "version %s", QF(version)());

  /* A NULL context, a NULL text with a length, a NULL buffer with room. */
  CHECK(QF(convert)(NULL, "a", 1, out, sizeof out, &length) == QUILLFERN_INVALID_ARGUMENT, "NULL context");
  CHECK(QF(convert)(q, NULL, 1, out, sizeof out, &length) == QUILLFERN_INVALID_ARGUMENT, "NULL text");
  CHECK(QF(convert)(q, "a", 1, NULL, 8, &length) == QUILLFERN_INVALID_ARGUMENT, "NULL buffer with capacity");
  CHECK(length == 777, "nothing written on an invalid argument");
  CHECK(QF(convert)(q, NULL, 0, NULL, 0, &length) == 0 && length == 0, "NULL empty text, NULL empty buffer");
  CHECK(QF(get_Enabled)(q, NULL) == QUILLFERN_INVALID_ARGUMENT, "NULL Boolean");
  CHECK(QF(get_Enabled)(q, &flag) == 0 && flag == 1, "enabled %d", flag);

  /* Lengths past the largest text, up to SIZE_MAX: refused before reading. */
  CHECK(QF(convert)(q, "a", QUILLFERN_MAX_LENGTH + 1, out, sizeof out, &length) == QUILLFERN_INVALID_ARGUMENT,
        "2^31");
  CHECK(QF(convert)(q, "a", (size_t)-1, out, sizeof out, &length) == QUILLFERN_INVALID_ARGUMENT, "SIZE_MAX");
  CHECK(QF(FastBlowFish)(q, "a", 1, out, sizeof out, &length, "p", (size_t)-1) == QUILLFERN_INVALID_ARGUMENT,
        "SIZE_MAX password");

  /* Capacity 0 with a buffer: only the length; then exactly enough. */
  memset(out, '#', sizeof out);
  CHECK(QF(convert)(q, "abc", 3, out, 0, &length) == QUILLFERN_TOO_SMALL && length == 6, "needed %lu",
        (unsigned long)length);
  CHECK(out[0] == '#', "no byte written without room");
  CHECK(QF(convert)(q, "abc", 3, out, 5, NULL) == QUILLFERN_TOO_SMALL && out[0] == '#', "5 of 6");
  CHECK(QF(convert)(q, "abc", 3, out, 6, &length) == 0 && memcmp(out, "616263", 6) == 0 && out[6] == '#',
        "filled without a terminator");
  /* A failure writes nothing: 32767 characters are too many here. */
  {
    char *big = allocate(40000);
    memset(big, 'a', 40000);
    length = 777;
    CHECK(QF(EasyCryptEnCode)(q, big, 32767, out, sizeof out, &length) == 6 && length == 777 && out[0] == '6',
          "error 6, nothing written");
    free(big);
  }
  CHECK(strcmp(QF(strerror)(6), "Overflow") == 0, "%s", QF(strerror)(6));
  CHECK(strcmp(QF(strerror)(QUILLFERN_TOO_SMALL), QF(strerror)(QUILLFERN_REFUSED)) != 0, "own descriptions");
  CHECK(QF(strerror)(123456) != NULL && QF(strerror)(-999) != NULL, "every status has a description");

  /* Callbacks that answer INT_MIN and INT_MAX change nothing. */
  CHECK(QF(set_message_box)(q, odd_answer, &calls) == 0, "callback set");
  CHECK(QF(EnCipherText)(q, "text", 4, "", 0, out, sizeof out, &length) == QUILLFERN_REFUSED && length == 0,
        "refused, empty result");
  CHECK(QF(FastBlowFish)(q, "", 0, out, 0, &length, "", 0) == 0, "empty FastBlowFish");
  CHECK(QF(DeCipherText)(q, "zz", 2, "p", 1, out, sizeof out, &length) == QUILLFERN_REFUSED && length == 2 &&
            memcmp(out, "zz", 2) == 0,
        "access denied gives the cipher text back");
  CHECK(calls == 2, "%d boxes", calls);
  CHECK(QF(DeCipherText)(q, "zz", 2, "p", 1, out, 1, &length) == QUILLFERN_TOO_SMALL && calls == 2,
        "no box for a call without room");
  CHECK(QF(set_message_box)(q, NULL, NULL) == 0, "no callback");
  CHECK(QF(DeCipherText)(q, "zz", 2, "p", 1, out, sizeof out, &length) == QUILLFERN_REFUSED && calls == 2,
        "boxes dropped without a callback");

  /* Paths: NULL, and byte sequences that are not UTF-8 (Linux). */
  CHECK(QF(WipeFileClean)(q, NULL) == QUILLFERN_INVALID_ARGUMENT, "NULL path");
  CHECK(QF(EncodeDecodeFile)(q, NULL, NULL, "p", 1, NULL) == QUILLFERN_INVALID_ARGUMENT, "NULL paths");
  bad_paths_check(q);

  /* The generator, in and out. */
  CHECK(QF(get_generator_state)(q, &state) == 0 && state == 0x50000, "a new process's state %lx",
        (unsigned long)state);
  CHECK(QF(set_generator_state)(q, 0x1000000) == QUILLFERN_INVALID_ARGUMENT, "state past 24 bits");
  {
    file_state plain;
    quillfern_path_char in[64], coded[64];
    uint32_t given = 0x123456, after_own;
    plain.name.data = "qf_capi_plain.bin";
    plain.name.length = strlen(plain.name.data);
    plain.content.data = "some plain bytes";
    plain.content.length = strlen(plain.content.data);
    plain.exists = 1;
    write_file(&plain);
    path_of("qf_capi_plain.bin", 17, in, 64);
    path_of("qf_capi_coded.bin", 17, coded, 64);
    CHECK(QF(EncodeDecodeFile)(q, in, coded, "pw", 2, &given) == 0 && given != 0x123456, "state advanced");
    CHECK(QF(get_generator_state)(q, &after_own) == 0 && after_own == 0x50000, "own generator untouched");
    CHECK(QF(EncodeDecodeFile)(q, in, coded, "pw", 2, NULL) == 0, "own generator");
    CHECK(QF(get_generator_state)(q, &after_own) == 0 && after_own != 0x50000, "own generator advanced");
    given = 0x1000000;
    CHECK(QF(EncodeDecodeFile)(q, in, coded, "pw", 2, &given) == QUILLFERN_INVALID_ARGUMENT, "state past 24 bits");
    given = 0x42;
    CHECK(QF(EncodeDecodeFile)(q, coded, in, "", 0, &given) == 5 && given == 0x42, "error 5 keeps the state");
    remove("qf_capi_plain.bin");
    remove("qf_capi_coded.bin");
  }
  check_losses(q);
  check_identify(q);
  check_unicode_names(q);
  QF(context_free)(q);
  QF(context_free)(NULL);
}

/* Losses: the result is written, and the status says codes are missing. */
static void check_losses(quillfern_context *q) {
  char out[64], key[16];
  size_t length = 0, key_length = 0;
  where = "losses";
  /* Key number 0 moves the first code down by 4: code 1 is dropped. */
  CHECK(QF(TextBoxCrypt)(q, "\001", 1, "", 0, key, sizeof key, &key_length, out, sizeof out, &length) ==
            QUILLFERN_LOST,
        "every code dropped");
  CHECK(length == QUILLFERN_NO_VALUE && key_length == 1 && key[0] == '0', "the empty variant, key 0");
  CHECK(QF(TextBoxCrypt)(q, "\001ab", 3, "", 0, key, sizeof key, &key_length, out, sizeof out, &length) ==
            QUILLFERN_LOST,
        "one code dropped");
  CHECK(length == 2, "the codes kept are written (%lu)", (unsigned long)length);
  CHECK(QF(TextBoxCrypt)(q, "ab", 2, "", 0, key, sizeof key, &key_length, out, sizeof out, &length) == 0,
        "nothing dropped");
  /* 255 + 'a' is above 255: the cipher text ends after the password block. */
  CHECK(QF(EnCipherText)(q, "x\377yz", 4, "a", 1, out, sizeof out, &length) == QUILLFERN_LOST && length == 2,
        "cut after the password and x (%lu)", (unsigned long)length);
  CHECK(QF(EnCipherText)(q, "x\377yz", 4, "a", 1, out, 1, &length) == QUILLFERN_TOO_SMALL && length == 2,
        "sizing first is too small, not lost");
  CHECK(QF(DeCipherText)(q, out, 2, "a", 1, out + 10, 8, &length) == 0 && length == 1 && out[10] == 'x',
        "the cut cipher text deciphers whole");
  /* Cipher code 1 is below password code 'a': deciphering stops there. */
  memcpy(out + 2, "\001", 1);
  CHECK(QF(DeCipherText)(q, out, 3, "a", 1, out + 10, 8, &length) == QUILLFERN_LOST && length == 1,
        "stopped at a code below the password's (%lu)", (unsigned long)length);
  CHECK(strstr(QF(strerror)(QUILLFERN_LOST), "codes") != NULL, "%s", QF(strerror)(QUILLFERN_LOST));
}

/* A file whose name has characters of no single-byte code page is
 * encoded, decoded and wiped by that name. */
static void check_unicode_names(quillfern_context *q) {
  static const char content[] = "bytes under a name beyond ASCII";
  char back[64];
  FILE *file = open_path(QF_UNICODE_PLAIN, "w");
  uint32_t state = QUILLFERN_GENERATOR_START, start = QUILLFERN_GENERATOR_START;
  size_t got = 0;
  int status;
  where = "unicode names";
  CHECK(file != NULL, "made the file");
  if (file == NULL) return;
  fwrite(content, 1, sizeof content - 1, file);
  fclose(file);
  status = QF(EncodeDecodeFile)(q, QF_UNICODE_PLAIN, QF_UNICODE_CODED, "pw", 2, &state);
  CHECK(status == 0, "encoded: %d (%s)", status, QF(strerror)(status));
  CHECK(QF(WipeFileClean)(q, QF_UNICODE_PLAIN) == 0, "wiped the plain file");
  file = open_path(QF_UNICODE_PLAIN, "r");
  CHECK(file == NULL, "the plain file is gone");
  if (file != NULL) fclose(file);
  status = QF(EncodeDecodeFile)(q, QF_UNICODE_CODED, QF_UNICODE_PLAIN, "pw", 2, &start);
  CHECK(status == 0, "decoded: %d (%s)", status, QF(strerror)(status));
  file = open_path(QF_UNICODE_PLAIN, "r");
  CHECK(file != NULL, "the decoded file is there");
  if (file != NULL) {
    got = fread(back, 1, sizeof back, file);
    fclose(file);
  }
  CHECK(got == sizeof content - 1 && memcmp(back, content, got) == 0, "decoded as it was (%lu bytes)",
        (unsigned long)got);
  CHECK(QF(WipeFileClean)(q, QF_UNICODE_CODED) == 0, "wiped the coded file");
  remove_path(QF_UNICODE_PLAIN);
  printf("capi: a file named with characters beyond every single-byte code page (%s)\n", code_page_note());
}

/* identify finds the operation and key that made a text. */
static void check_identify(quillfern_context *q) {
  static const char plain[] = "Meet me at the old mill at nine tonight, and bring the map.";
  char made[128];
  size_t made_length = 0, count = 0, i;
  quillfern_reading readings[64];
  int found = 0;
  where = "identify";
  CHECK(QF(EncryptPassword)(q, 5, plain, sizeof plain - 1, made, sizeof made, &made_length) == 0, "made");
  CHECK(QF(identify)(made, made_length, 0, NULL, 0, &count) == QUILLFERN_TOO_SMALL && count > 0, "sized (%lu)",
        (unsigned long)count);
  CHECK(count <= 64, "%lu readings", (unsigned long)count);
  if (count > 64) count = 64;
  CHECK(QF(identify)(made, made_length, 0, readings, count, &count) == 0, "filled");
  for (i = 0; i < count; ++i) {
    if (readings[i].kind == QUILLFERN_READING_PASSWORD && readings[i].key == 5) {
      found = found || (readings[i].plausible == 1 && readings[i].length == sizeof plain - 1);
    }
    if (i > 0) CHECK(readings[i - 1].bits <= readings[i].bits, "best first");
  }
  CHECK(found, "EncryptPassword under 5 is among the readings");

  CHECK(QF(EnCipherText)(q, plain, sizeof plain - 1, "mill", 4, made, sizeof made, &made_length) == 0, "made");
  CHECK(QF(identify)(made, made_length, 0, readings, 64, &count) == 0, "filled");
  found = 0;
  for (i = 0; i < count && i < 64; ++i) {
    if (readings[i].kind == QUILLFERN_READING_CIPHER_TEXT) {
      found = found || (readings[i].password_length == 4 && memcmp(readings[i].password, "mill", 5) == 0);
    }
  }
  CHECK(found, "the cipher text's password is read");
  CHECK(QF(identify)(NULL, 3, 0, readings, 64, &count) == QUILLFERN_INVALID_ARGUMENT, "NULL text");
  CHECK(QF(identify)(made, made_length, 0, NULL, 2, &count) == QUILLFERN_INVALID_ARGUMENT, "NULL readings");
  CHECK(QF(identify)("", 0, 1, readings, 64, &count) == 0, "the empty text (%lu)", (unsigned long)count);
}

/* The generator against the published vectors (docs/rnd-vectors.txt). */
static void check_generator(const char *path) {
  FILE *in = fopen(path, "r");
  char *line;
  uint32_t state = QUILLFERN_GENERATOR_START;
  float timer = 0, drawn = 0;
  int calls = 0, line_number = 0;
  char label[200];
  if (in == NULL) {
    fprintf(stderr, "cannot read %s\n", path);
    exit(2);
  }
  while ((line = read_line(in)) != NULL) {
    char words[5][40];
    const char *call = words[0], *argument = words[1], *state_text, *value_text;
    int got;
    ++line_number;
    snprintf(label, sizeof label, "%s:%d", path, line_number);
    where = label;
    memset(words, 0, sizeof words);
    got = sscanf(line, "%39s %39s %39s %39s %39s", words[0], words[1], words[2], words[3], words[4]);
    if (got >= 1 && line[0] != '#') {
      if (strcmp(call, "new") == 0) {
        state = got >= 2 ? (uint32_t)strtoul(argument, NULL, 16) : QUILLFERN_GENERATOR_START;
      } else if (strcmp(call, "timer") == 0) {
        timer = strtof(argument, NULL);
      } else {
        int status, has_value;
        /* CALL [ARGUMENT] => STATE [VALUE] */
        const int arrow = strcmp(words[1], "=>") == 0 ? 1 : 2;
        state_text = words[arrow + 1];
        value_text = words[arrow + 2];
        if (arrow == 1) argument = "";
        has_value = strcmp(call, "rnd") == 0;
        if (has_value && argument[0] != '\0' && strtof(argument, NULL) == 0.0f) {
          CHECK(QF(rnd_last)(state, &drawn) == 0, "Rnd(0) as the last value");
          CHECK(drawn == strtof(value_text, NULL), "last %.9g", (double)drawn);
        }
        if (has_value) {
          status = QF(rnd)(&state, argument[0] == '\0' ? 1.0f : strtof(argument, NULL), &drawn);
        } else if (argument[0] == '\0') {
          status = QF(randomize_timer)(&state, timer);
        } else if (strcmp(argument, "timer") == 0) {
          status = QF(randomize)(&state, (double)timer);
        } else {
          status = QF(randomize)(&state, strtod(argument, NULL));
        }
        CHECK(status == 0, "status %d", status);
        CHECK(state == (uint32_t)strtoul(state_text, NULL, 16), "state %06lX", (unsigned long)state);
        if (has_value) CHECK(drawn == strtof(value_text, NULL), "value %.9g", (double)drawn);
        ++calls;
      }
    }
    free(line);
  }
  fclose(in);
  where = "generator";
  CHECK(calls >= 40, "%d calls", calls);
  state = 0x1000000;
  CHECK(QF(rnd)(&state, 1.0f, &drawn) == QUILLFERN_INVALID_ARGUMENT && state == 0x1000000, "state past 24 bits");
  CHECK(QF(rnd)(NULL, 1.0f, &drawn) == QUILLFERN_INVALID_ARGUMENT, "NULL state");
  state = 5;
  CHECK(QF(rnd)(&state, 1.0f, NULL) == QUILLFERN_INVALID_ARGUMENT && state == 5, "NULL value");
  CHECK(QF(rnd_last)(0x1000000, &drawn) == QUILLFERN_INVALID_ARGUMENT, "last past 24 bits");
  CHECK(QF(randomize)(NULL, 1.0) == QUILLFERN_INVALID_ARGUMENT, "NULL state");
  CHECK(QF(randomize_timer)(&state, 1.0f) == 0 && state <= 0xFFFFFF, "timer");
  printf("capi: generator: %d calls of %s\n", calls, path);
}

int main(int argc, char **argv) {
  FILE *in;
  char *line;
  quillfern_context *q = NULL;
  box_log log;
  int cases = 0;
  if (argc != 2 && argc != 3) {
    fprintf(stderr, "usage: capi_cases CASES_FILE [RND_VECTORS]\n");
    return 2;
  }
  load_functions();
  check_rules();
  if (argc == 3) check_generator(argv[2]);
  in = fopen(argv[1], "r");
  if (in == NULL) {
    fprintf(stderr, "cannot read %s\n", argv[1]);
    return 2;
  }
  memset(&log, 0, sizeof log);
  log.answer = 1;
  if (QF(context_new)(QUILLFERN_CODE_PAGE_1252, &q) != 0) return 2;
  QF(set_message_box)(q, record_box, &log);
  while ((line = read_line(in)) != NULL) {
    test_case c;
    if (line[0] != '#' && line[0] != '\0') {
      char label[160];
      parse_case(line, &c);
      snprintf(label, sizeof label, "case %d (%s %s)", cases + 1, c.name, c.kind);
      where = label;
      run_case(q, &log, &c);
      free_case(&c);
      ++cases;
      where = "";
    }
    free(line);
  }
  clear_log(&log);
  fclose(in);
  QF(context_free)(q);
  printf("capi: %d cases (%d with codes lost), %d checks, %d failed\n", cases, lost_cases, checks, failures);
  return failures == 0 && cases > 0 ? 0 : 1;
}
