// The page's module under Node, without a browser: every case of the
// vector files through invoke(), and what the module adds around the
// table (unknown names, argument counts, files, code pages, identify).
//   node --test web/tests/module_test.js   (QUILLFERN_WEB_BUILD: the build folder)
"use strict";
const test = require("node:test");
const assert = require("node:assert/strict");
const fs = require("fs");
const path = require("path");
const vm = require("vm");
const { checkCase, operationCases } = require("./vectors");

const root = path.resolve(__dirname, "../..");
const build = process.env.QUILLFERN_WEB_BUILD || path.join(root, "build/web");
const moduleFolder = path.join(build, "web");

// The module's classic script, run as a page runs it; it is handed its
// WebAssembly as the page hands it.
async function loadModule() {
  const script = fs.readFileSync(path.join(moduleFolder, "quillfern_module.js"), "utf8");
  const createQuillfern = vm.runInThisContext(`${script}\n;createQuillfern`);
  return createQuillfern({ wasmBinary: fs.readFileSync(path.join(moduleFolder, "quillfern_module.wasm")) });
}

const bytes = (text) => new Uint8Array(Buffer.from(text, "latin1"));
const asText = (codes) => Buffer.from(codes).toString("latin1");

test("the module", async (t) => {
  const quillfern = await loadModule();
  const rows = quillfern.operations();

  await t.test("every vector case of every operation", () => {
    const cases = operationCases(path.join(root, "tests/data"), rows);
    const failures = [];
    const covered = new Set();
    for (const { testCase, operation } of cases) {
      covered.add(operation.name);
      for (const problem of checkCase(quillfern, operation, testCase)) {
        failures.push(`${testCase.file}:${testCase.line} [${testCase.section}] ${problem}`);
      }
    }
    console.log(`module: ${cases.length} vector cases of ${covered.size} operations`);
    assert.deepEqual(failures, []);
    // Every operation that the page offers has known answers.
    for (const name of ["EncryptPassword", "DecryptPassword", "convert", "DeConvert", "EasyCryptEnCode",
      "EasyCryptDeCode", "PowerEncryption", "FastBlowFish", "SeedEncryption", "TextBoxCrypt", "TextBoxDeCrypt",
      "DeCipherText", "EnCipherText", "EncodeDecodeFile"]) {
      assert.ok(covered.has(name), `no vector case for ${name}`);
    }
  });

  await t.test("the table as the module lists it", () => {
    assert.equal(rows.length, 18);
    const fastBlowFish = rows.find((r) => r.name === "FastBlowFish");
    assert.deepEqual(fastBlowFish.parameters.map((p) => [p.name, p.direction]),
      [["InPutString", "in"], ["OutPut", "out"], ["Password", "in"]]);
    assert.ok(rows.find((r) => r.name === "EncodeDecodeFile").parameters[0].file);
  });

  await t.test("calls the table refuses", () => {
    const control = new quillfern.Control("cp1252");
    assert.equal(control.invoke("NoSuchMethod", []).error.number, 438);
    assert.equal(control.invoke("Enabled", []).error.number, 438, "a property is not a method");
    assert.equal(control.invoke("convert", [bytes("a")]).error.number, 450);
    assert.equal(control.invoke("EncryptPassword", ["256", bytes("a"), null]).error.number, 6);
    assert.equal(control.invoke("EncryptPassword", ["five", bytes("a"), null]).error.number, 13);
    assert.equal(control.invoke("EncryptPassword", [2.5, bytes("a"), null]).error, null, "2.5 rounds to 2");
    // A Number given as text is read as the host reads numeric text (this
    // build's C++ library has no from_chars for floating point): blanks
    // around it, a sign, a fraction, an exponent; the byte rounds half to
    // even.
    // [text, the Number it reads as] or [text, null, the error].
    const numbers = [
      [" 5 ", 5], ["\t5", 5], ["+5", 5], ["5.", 5], [".5e1", 5], ["1e1", 10], ["2.5", 2], ["3.5", 4], ["-0.4", 0],
      ["255", 255], ["False", 0], ["256", null, 6], ["-1", null, 6], ["True", null, 6], ["1e400", null, 13],
      ["five", null, 13], ["0x5", null, 13], ["5 5", null, 13], ["\n5", null, 13], ["5\n", null, 13],
      ["--5", null, 13], ["+-5", null, 6], ["- 5", null, 13], ["1e", null, 13], [".", null, 13], ["", null, 13],
      ["inf", null, 13], ["nan", null, 13],
    ];
    // EncryptPassword shows the Number it took on the one code 20: it is
    // raised by the Number and exclusive-ored with 10 - Number; Numbers
    // above 10 fail with error 5 on any text.
    const took = (answer) => (answer.error ? `error ${answer.error.number}` : `code ${answer.outputs.OutPut[0]}`);
    const wanted = ([text, n, error]) => [text, error ? `error ${error}` : n > 10 ? "error 5" : `code ${(20 + n) ^ (10 - n)}`];
    assert.deepEqual(numbers.map(([text]) => [text, took(control.invoke("EncryptPassword", [text, new Uint8Array([20]), null]))]),
      numbers.map(wanted));
    // Names are found in any case, as the platform finds them.
    assert.equal(asText(control.invoke("CONVERT", [bytes("a"), null]).outputs.OutPut), "61");
    control.delete();
  });

  await t.test("every code 0 to 255 crosses unchanged", () => {
    const control = new quillfern.Control("cp1252");
    const all = new Uint8Array(256).map((_, i) => i);
    const hex = control.invoke("convert", [all, null]).outputs.OutPut;
    assert.deepEqual(Array.from(control.invoke("DeConvert", [hex, null]).outputs.OutPut), Array.from(all));
    control.delete();
  });

  await t.test("files live in memory and go back and forth", () => {
    const control = new quillfern.Control("cp1252");
    const plain = bytes("a file of the page\n\x00\xff");
    const encoded = control.invoke("EncodeDecodeFile", [plain, null, bytes("pw")]);
    assert.equal(encoded.error, null);
    assert.deepEqual(Array.from(encoded.files.InputFile), Array.from(plain), "the input stays as it was");
    const stateAfter = control.generatorState();
    control.setGeneratorState(327680);
    const decoded = control.invoke("EncodeDecodeFile", [encoded.files.OutputFile, null, bytes("pw")]);
    assert.deepEqual(Array.from(decoded.files.OutputFile), Array.from(plain));
    assert.equal(control.generatorState(), stateAfter);
    // A failed call (no password for a non-empty file) leaves the
    // generator as it was and gives no file.
    const failed = control.invoke("EncodeDecodeFile", [plain, null, bytes("")]);
    assert.equal(failed.error.number, 5);
    assert.equal(failed.files, undefined);
    assert.equal(control.generatorState(), stateAfter);
    // An output file given with content is replaced: the result has the
    // input's length.
    const replaced = control.invoke("EncodeDecodeFile", [plain, bytes("an old and longer output file"), bytes("pw")]);
    assert.equal(replaced.files.OutputFile.length, plain.length);
    // Each call starts with no files but its own: no output file is left
    // from the call before.
    const again = control.invoke("EncodeDecodeFile", [new Uint8Array(0), null, bytes("pw")]);
    assert.equal(again.files.OutputFile.length, 0);
    control.delete();
  });

  await t.test("code pages", () => {
    const euro = new Uint8Array([0x80]);
    assert.equal(Buffer.from(quillfern.codesToUtf8(euro, "cp1252")).toString("utf8"), "\u20ac");
    assert.equal(Buffer.from(quillfern.codesToUtf8(euro, "latin1")).toString("utf8"), "\u0080");
    assert.deepEqual(Array.from(quillfern.utf8ToCodes(Buffer.from("a\u20ac", "utf8"), "cp1252").bytes), [0x61, 0x80]);
    const missing = quillfern.utf8ToCodes(Buffer.from("ab\u20ac", "utf8"), "latin1");
    assert.equal(missing.bytes, undefined);
    assert.equal(missing.offset, 2);
    const control = new quillfern.Control("cp1252");
    // PowerEncryption upper-cases through the host's code page.
    const cp1252 = control.invoke("PowerEncryption", [new Uint8Array([0x9a, 0xff])]).result;
    control.setCodePage("latin1");
    const latin1 = control.invoke("PowerEncryption", [new Uint8Array([0x9a, 0xff])]).result;
    assert.deepEqual([Array.from(cp1252), Array.from(latin1)], [[0xa2, 0x3f], [0xd6, 0x64]]);
    control.delete();
  });

  await t.test("identify", () => {
    const readings = quillfern.identify(bytes("]emhoj3"), false);
    const reading = readings.find((r) => r.madeBy === "EncryptPassword" && r.key === 5);
    assert.ok(reading, "Number 5 is among the readings");
    assert.equal(asText(reading.text), "Secret1");
    assert.equal(reading.restoredBy, "DecryptPassword");
    const sealed = quillfern.identify(bytes("\xe6\xca\xc6\xe4\xca\xe8\xbb\xca\xcf\xde\xd4"), false)[0];
    assert.deepEqual([sealed.madeBy, asText(sealed.password), asText(sealed.text)], ["EnCipherText", "secret", "Hello"]);
  });
});
