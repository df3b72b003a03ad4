/* The C interface of Quillfern: every operation of the Encryption control
 * as a plain C function, for C programs and for callers that load a shared
 * library through a foreign-function interface (Python ctypes, .NET
 * P/Invoke, VBA Declare). C99; no C++ is needed to use it.
 *
 * Texts are counted runs of 8-bit character codes in the context's code
 * page (pointer and length; no terminator is read or written).
 *
 * Every operation returns an int status:
 *   0                          success;
 *   a positive error number    the control's error (5, 6, 13, 52, 53, 57,
 *                              61, 70, 75, 76, 445, ...); nothing was
 *                              written to any output;
 *   QUILLFERN_TOO_SMALL        an output's capacity is below the length of
 *                              its text: every *_length holds the length
 *                              needed, no output byte was written, and no
 *                              message box was shown; call again with room;
 *   QUILLFERN_REFUSED          the control refused the input and said so in
 *                              a message box ("Please put in a password",
 *                              "Access Denied"); the outputs hold what the
 *                              control gives then (the empty text, or the
 *                              cipher text unchanged);
 *   QUILLFERN_LOST             the result was produced and written, as on
 *                              success, but codes were left out of it: the
 *                              text-box pair dropped codes that would leave
 *                              0..255 (the result is shorter than the text,
 *                              or the empty variant), or the cipher-text
 *                              pair stopped at a code it cannot carry (the
 *                              result is shorter than the password and the
 *                              text, or than the cipher text after its
 *                              password). The control itself says nothing
 *                              of such losses; a caller that must not lose
 *                              data treats this status as a failure;
 *   QUILLFERN_INVALID_ARGUMENT a NULL context, a NULL pointer with a
 *                              non-zero length or capacity, a NULL path, a
 *                              length above QUILLFERN_MAX_LENGTH, an
 *                              unknown code page; nothing was done;
 *   QUILLFERN_INTERNAL         an unexpected failure inside the library.
 * quillfern_strerror() describes each of them.
 *
 * An output is a buffer, its capacity in bytes and a size_t that receives
 * the length of the text (which may be NULL when the caller does not want
 * it). A NULL buffer with capacity 0 asks for the length only: one call to
 * size, one to fill. Nothing crosses the boundary to be freed by the other
 * side. A result that is the control's empty variant (the text-box pair
 * when no character was produced) has the length QUILLFERN_NO_VALUE.
 *
 * Message boxes: the control's boxes go to the context's callback, in
 * order, once the operation has finished (and not at all for a call that
 * returned QUILLFERN_TOO_SMALL, which the caller repeats). The callback's
 * answer is the button that dismissed the box; the library never acts on
 * it, whatever its value. Without a callback the boxes are dropped.
 *
 * A context is used by one thread at a time; separate contexts are
 * independent.
 *
 * The functions are named after the control's published operations and
 * their parameters after the published parameter names; the type of each
 * parameter follows from the table of operations:
 *   read text        const char *Name, size_t Name_length
 *   Byte             unsigned char Name
 *   Boolean          int Name (non-zero is true), read as int *Result
 *   written text     char *Name, size_t Name_capacity, size_t *Name_length
 *   read and written const char *Name, size_t Name_length,
 *                    char *Name_out, size_t Name_out_capacity, size_t *Name_out_length
 *   file name        const quillfern_path_char *Name (NUL-terminated UTF-8
 *                    on Linux, UTF-16 wchar_t on Windows; an invalid
 *                    sequence is error 52)
 *   result           char *Result, size_t Result_capacity, size_t *Result_length
 */
#ifndef QUILLFERN_H
#define QUILLFERN_H

#include <stddef.h>
#include <stdint.h>
#include <wchar.h>

#ifdef _WIN32
#define QUILLFERN_CALL __stdcall
#ifdef QUILLFERN_C_BUILD
#define QUILLFERN_API /* exported, undecorated, by the module definition the build writes from this header */
#else
#define QUILLFERN_API __declspec(dllimport)
#endif
typedef wchar_t quillfern_path_char;
#else
#define QUILLFERN_CALL
#define QUILLFERN_API __attribute__((visibility("default")))
typedef char quillfern_path_char;
#endif

#ifdef __cplusplus
extern "C" {
#endif

#define QUILLFERN_TOO_SMALL (-1)
#define QUILLFERN_REFUSED (-2)
#define QUILLFERN_INVALID_ARGUMENT (-3)
#define QUILLFERN_INTERNAL (-4)
#define QUILLFERN_LOST (-5)

/* The longest text the control takes: a 32-bit signed length. */
#define QUILLFERN_MAX_LENGTH 0x7fffffffu
/* The length of the empty variant, which is no text at all. */
#define QUILLFERN_NO_VALUE SIZE_MAX

/* The host's single-byte code page of a context. */
#define QUILLFERN_CODE_PAGE_NONE 0
#define QUILLFERN_CODE_PAGE_LATIN1 28591
#define QUILLFERN_CODE_PAGE_1252 1252

typedef struct quillfern_context quillfern_context;

/* A message box: text and title NUL-terminated, in the context's code page;
 * returns the button that dismissed it (1 for OK). */
typedef int(QUILLFERN_CALL *quillfern_message_box)(void *user_data, const char *text, int style,
                                                  const char *title);

/* The library's version, "MAJOR.MINOR.PATCH". */
QUILLFERN_API const char *QUILLFERN_CALL quillfern_version(void);
/* The description of a status: the platform's text of an error number, or
 * the library's own text of a negative status. Never NULL; static. */
QUILLFERN_API const char *QUILLFERN_CALL quillfern_strerror(int status);

/* A new context in *context, enabled, its generator at a new process's
 * state; code_page is one of QUILLFERN_CODE_PAGE_*. */
QUILLFERN_API int QUILLFERN_CALL quillfern_context_new(int code_page, quillfern_context **context);
/* Ends a context; NULL is allowed. */
QUILLFERN_API void QUILLFERN_CALL quillfern_context_free(quillfern_context *context);
/* The callback of the context's message boxes (NULL: drop them). */
QUILLFERN_API int QUILLFERN_CALL quillfern_set_message_box(quillfern_context *context, quillfern_message_box box,
                                                           void *user_data);
/* The state of the context's generator (0..0xFFFFFF), which
 * EncodeDecodeFile draws from and advances. */
QUILLFERN_API int QUILLFERN_CALL quillfern_get_generator_state(quillfern_context *context, uint32_t *state);
QUILLFERN_API int QUILLFERN_CALL quillfern_set_generator_state(quillfern_context *context, uint32_t state);

/* ---- the runtime's generator, over a state that the caller keeps -------
 * The generator that EncodeDecodeFile draws from: a 24-bit state, which
 * these functions take and give back and the library keeps nowhere. A
 * state above 0xFFFFFF, or a NULL pointer, is QUILLFERN_INVALID_ARGUMENT,
 * and nothing is changed. */
#define QUILLFERN_GENERATOR_START 0x50000u /* a new process's state */
/* Rnd(argument): a positive argument (or a NaN) draws the next value; 0
 * gives the last value again without advancing; a negative argument sets
 * the state from its own bits first and then draws. *value receives the
 * value, in [0, 1). */
QUILLFERN_API int QUILLFERN_CALL quillfern_rnd(uint32_t *state, float argument, float *value);
/* Rnd(0): the value of the state, which does not change. */
QUILLFERN_API int QUILLFERN_CALL quillfern_rnd_last(uint32_t state, float *value);
/* Randomize value: folds the number into the middle 16 bits of *state. */
QUILLFERN_API int QUILLFERN_CALL quillfern_randomize(uint32_t *state, double value);
/* Randomize without an argument, the timer reading `seconds` since
 * midnight: folds the single itself (Randomize Timer is
 * quillfern_randomize(state, seconds)). */
QUILLFERN_API int QUILLFERN_CALL quillfern_randomize_timer(uint32_t *state, float seconds);

/* ---- what a stored text may be ------------------------------------------
 * quillfern_identify tries every operation whose output can be undone,
 * with every key that can have made the text, and ranks the texts they
 * restore by how much they read like English (a heuristic). */
#define QUILLFERN_READING_HEX 1         /* convert made it; DeConvert restores it */
#define QUILLFERN_READING_PASSWORD 2    /* EncryptPassword, Number = key; DecryptPassword */
#define QUILLFERN_READING_SHIFT 3       /* EasyCryptEnCode; EasyCryptDeCode */
#define QUILLFERN_READING_TEXT_BOX 4    /* TextBoxCrypt, key number = key; TextBoxDeCrypt */
#define QUILLFERN_READING_CIPHER_TEXT 5 /* EnCipherText under password; DeCipherText */

typedef struct quillfern_reading {
  int32_t kind;             /* QUILLFERN_READING_* */
  int32_t plausible;        /* 1: it reads as text; 0: kept because all was asked */
  uint32_t key;             /* the Number or the key number (at most 1083) */
  uint32_t password_length; /* the cipher text's password, in password[] */
  double bits;              /* the ranking score: fewer bits rank first */
  double bits_per_code;     /* the model's bits per code of the restored text */
  size_t length;            /* the length of the restored text */
  char password[256];       /* password_length codes, then a NUL */
} quillfern_reading;

/* The readings of a text, best first: the plausible ones, or all of them
 * when `all` is non-zero. *readings_count receives how many there are;
 * with a capacity below that the call is QUILLFERN_TOO_SMALL and writes
 * none (readings may be NULL with capacity 0). The restored text itself
 * comes from the restoring operation with the reading's key. */
QUILLFERN_API int QUILLFERN_CALL quillfern_identify(const char *text, size_t text_length, int all,
                                                    quillfern_reading *readings, size_t readings_capacity,
                                                    size_t *readings_count);

/* ---- the operations of the control, in their published order ---------- */
QUILLFERN_API int QUILLFERN_CALL quillfern_get_Enabled(quillfern_context *context, int *Result);
QUILLFERN_API int QUILLFERN_CALL quillfern_put_Enabled(quillfern_context *context, int Enabled);
QUILLFERN_API int QUILLFERN_CALL quillfern_About(quillfern_context *context);
QUILLFERN_API int QUILLFERN_CALL quillfern_EncryptPassword(quillfern_context *context, unsigned char Number, const char *DecryptedPassword, size_t DecryptedPassword_length, char *OutPut, size_t OutPut_capacity, size_t *OutPut_length);
QUILLFERN_API int QUILLFERN_CALL quillfern_DecryptPassword(quillfern_context *context, unsigned char Number, const char *EncryptedPassword, size_t EncryptedPassword_length, char *OutPut, size_t OutPut_capacity, size_t *OutPut_length);
QUILLFERN_API int QUILLFERN_CALL quillfern_convert(quillfern_context *context, const char *InPutString, size_t InPutString_length, char *OutPut, size_t OutPut_capacity, size_t *OutPut_length);
QUILLFERN_API int QUILLFERN_CALL quillfern_DeConvert(quillfern_context *context, const char *InPutString, size_t InPutString_length, char *OutPut, size_t OutPut_capacity, size_t *OutPut_length);
QUILLFERN_API int QUILLFERN_CALL quillfern_EasyCryptEnCode(quillfern_context *context, const char *InPutString, size_t InPutString_length, char *OutPut, size_t OutPut_capacity, size_t *OutPut_length);
QUILLFERN_API int QUILLFERN_CALL quillfern_EasyCryptDeCode(quillfern_context *context, const char *InPutString, size_t InPutString_length, char *OutPut, size_t OutPut_capacity, size_t *OutPut_length);
/* The generator: when state is not NULL the call starts from *state and
 * leaves the state after it in *state (unchanged when the call fails), and
 * the context's own generator is not used; with NULL the context's
 * generator goes on from call to call. */
QUILLFERN_API int QUILLFERN_CALL quillfern_EncodeDecodeFile(quillfern_context *context, const quillfern_path_char *InputFile, const quillfern_path_char *OutputFile, const char *Password, size_t Password_length, uint32_t *state);
QUILLFERN_API int QUILLFERN_CALL quillfern_PowerEncryption(quillfern_context *context, const char *InPutString, size_t InPutString_length, char *Result, size_t Result_capacity, size_t *Result_length);
QUILLFERN_API int QUILLFERN_CALL quillfern_FastBlowFish(quillfern_context *context, const char *InPutString, size_t InPutString_length, char *OutPut, size_t OutPut_capacity, size_t *OutPut_length, const char *Password, size_t Password_length);
QUILLFERN_API int QUILLFERN_CALL quillfern_SeedEncryption(quillfern_context *context, const char *InPutString, size_t InPutString_length, const char *SeedPassword, size_t SeedPassword_length, char *Result, size_t Result_capacity, size_t *Result_length);
QUILLFERN_API int QUILLFERN_CALL quillfern_TextBoxCrypt(quillfern_context *context, const char *InPutText, size_t InPutText_length, const char *Password, size_t Password_length, char *Password_out, size_t Password_out_capacity, size_t *Password_out_length, char *Result, size_t Result_capacity, size_t *Result_length);
QUILLFERN_API int QUILLFERN_CALL quillfern_TextBoxDeCrypt(quillfern_context *context, const char *InPutText, size_t InPutText_length, const char *Password, size_t Password_length, char *Password_out, size_t Password_out_capacity, size_t *Password_out_length, char *Result, size_t Result_capacity, size_t *Result_length);
QUILLFERN_API int QUILLFERN_CALL quillfern_DeCipherText(quillfern_context *context, const char *CipherString, size_t CipherString_length, const char *Password, size_t Password_length, char *Result, size_t Result_capacity, size_t *Result_length);
QUILLFERN_API int QUILLFERN_CALL quillfern_EnCipherText(quillfern_context *context, const char *CipherInString, size_t CipherInString_length, const char *Password, size_t Password_length, char *Result, size_t Result_capacity, size_t *Result_length);
QUILLFERN_API int QUILLFERN_CALL quillfern_WipeFileClean(quillfern_context *context, const quillfern_path_char *FileName);

#ifdef __cplusplus
}
#endif

#endif /* QUILLFERN_H */
