// The page over the module (web/src/module.cpp): the operations come from
// the module's table of operations, and every run goes through its one
// invoke(). Texts are kept as Uint8Array codes 0..255 and shown in the
// chosen code page, as hexadecimal codes or as base64.
"use strict";

(function () {
  // The largest file the file cipher takes: it works in memory, on a few
  // copies of the file at once.
  const fileLimit = 64 * 1024 * 1024;
  // Results longer than this are shown in part (copy and download take all).
  const shownLimit = 1024 * 1024;
  const newProcessState = 327680;

  // The operations grouped by what the user has, as the README's table
  // groups them; an operation of the table that none names goes to the
  // last group.
  const groups = [
    { label: "A scrambled password", ops: ["DecryptPassword", "EncryptPassword"] },
    { label: "A hex text", ops: ["DeConvert", "convert"] },
    { label: "A shifted text", ops: ["EasyCryptDeCode", "EasyCryptEnCode"] },
    { label: "A seed-XORed text", ops: ["SeedEncryption"] },
    { label: "A FastBlowFish text", ops: ["FastBlowFish"] },
    { label: "A text-box text", ops: ["TextBoxDeCrypt", "TextBoxCrypt"] },
    { label: "A cipher text that carries its password", ops: ["DeCipherText", "EnCipherText"] },
    { label: "Other", ops: ["PowerEncryption"] },
  ];
  // What each operation does with what you have, and what it needs.
  const describe = {
    DecryptPassword: ["restore it", "its key number N, 0 to 10 (Identify finds it)"],
    EncryptPassword: ["make one", "a key number N, 0 to 10"],
    DeConvert: ["restore it", "nothing"],
    convert: ["make one", "nothing"],
    EasyCryptDeCode: ["restore it", "nothing"],
    EasyCryptEnCode: ["make one", "nothing"],
    SeedEncryption: ["restore or make one, the same both ways", "the seed, at least as long as the text"],
    FastBlowFish: ["restore or make one, the same both ways", "the password"],
    TextBoxDeCrypt: ["restore it", "the password"],
    TextBoxCrypt: ["make one", "the password"],
    DeCipherText: ["restore it", "the password (Identify reads it out of the text)"],
    EnCipherText: ["make one", "the password"],
    PowerEncryption: ["scramble one way: it cannot be undone", "nothing"],
  };
  // Operations the page does not offer as texts: the file cipher has its
  // own panel, and the page has no window system and no files to wipe.
  const notTexts = new Set(["About", "EncodeDecodeFile", "WipeFileClean"]);
  const keyNames = new Set(["Password", "SeedPassword"]);

  const $ = (id) => document.getElementById(id);
  let quillfern = null;
  let control = null;
  let operations = [];
  let result = null; // {single: Uint8Array} or {records: [Uint8Array|null]}

  // ---- codes, text, hex and base64 -------------------------------------------

  const utf8Encoder = new TextEncoder();
  const utf8Decoder = new TextDecoder("utf-8");

  function codePage() {
    return $("code-page").value;
  }
  function pageName() {
    return $("code-page").selectedOptions[0].textContent;
  }

  class InputError extends Error {}

  function textToCodes(text) {
    const converted = quillfern.utf8ToCodes(utf8Encoder.encode(text), codePage());
    if (converted.error !== undefined) {
      const before = utf8Decoder.decode(utf8Encoder.encode(text).subarray(0, converted.offset));
      const position = Array.from(before).length + 1;
      const character = Array.from(text)[position - 1];
      throw new InputError(`character ${position} (${JSON.stringify(character)}) is not in ${pageName()}`);
    }
    return converted.bytes;
  }
  function codesToText(codes) {
    return utf8Decoder.decode(quillfern.codesToUtf8(codes, codePage()));
  }

  const hexDigits = "0123456789ABCDEF";
  function toHex(codes) {
    const parts = new Array(codes.length);
    for (let i = 0; i < codes.length; i++) parts[i] = hexDigits[codes[i] >> 4] + hexDigits[codes[i] & 15];
    return parts.join("");
  }
  function fromHex(text) {
    const digits = text.replace(/\s+/g, "");
    if (!/^[0-9A-Fa-f]*$/.test(digits)) throw new InputError("hexadecimal codes hold only the digits 0-9 and A-F");
    if (digits.length % 2 !== 0) throw new InputError("hexadecimal codes come in pairs: an odd number of digits");
    const codes = new Uint8Array(digits.length / 2);
    for (let i = 0; i < codes.length; i++) codes[i] = parseInt(digits.substr(2 * i, 2), 16);
    return codes;
  }
  function toBase64(codes) {
    let binary = "";
    for (let i = 0; i < codes.length; i += 0x8000) {
      binary += String.fromCharCode.apply(null, codes.subarray(i, i + 0x8000));
    }
    return btoa(binary);
  }
  function fromBase64(text) {
    const compact = text.replace(/\s+/g, "");
    if (!/^[A-Za-z0-9+/]*={0,2}$/.test(compact) || compact.length % 4 !== 0) {
      throw new InputError("base64 holds A-Z, a-z, 0-9, + and /, in groups of four with = padding");
    }
    const binary = atob(compact);
    const codes = new Uint8Array(binary.length);
    for (let i = 0; i < binary.length; i++) codes[i] = binary.charCodeAt(i);
    return codes;
  }
  function decode(text, format) {
    if (format === "hex") return fromHex(text);
    if (format === "base64") return fromBase64(text);
    return textToCodes(text);
  }
  function encode(codes, format) {
    if (format === "hex") return toHex(codes);
    if (format === "base64") return toBase64(codes);
    return codesToText(codes);
  }

  function errorText(error) {
    const detail = error.detail ? ` (${error.detail})` : "";
    return `Error ${error.number}: ${error.description}${detail}`;
  }
  function showError(id, text) {
    const box = $(id);
    box.textContent = text;
    box.hidden = text === "";
  }

  // ---- message boxes ---------------------------------------------------------

  // Shows the boxes of a run one after the other, each until it is
  // dismissed; a box shown many times in a run is shown once, with its
  // count. The result of the run is shown only after the last one.
  async function showBoxes(messages) {
    const distinct = [];
    for (const message of messages) {
      const title = codesToText(message.title);
      const text = codesToText(message.text);
      const known = distinct.find((m) => m.title === title && m.text === text && m.style === message.style);
      if (known) known.count += message.count;
      else distinct.push({ title, text, style: message.style, count: message.count });
    }
    for (const box of distinct) await showBox(box);
  }

  function showBox(box) {
    const dialog = $("message-box");
    $("box-title").textContent = box.title;
    $("box-text").textContent = box.text;
    $("box-count").textContent = box.count > 1 ? `Shown ${box.count} times in this run.` : "";
    dialog.className = box.style === 48 ? "warning" : box.style === 12 ? "notice" : "";
    const opener = document.activeElement;
    return new Promise((resolve) => {
      const done = () => {
        dialog.removeEventListener("close", done);
        if (opener && opener.focus) opener.focus();
        resolve();
      };
      dialog.addEventListener("close", done);
      dialog.showModal();
      $("box-ok").focus();
    });
  }

  // ---- the texts panel ---------------------------------------------------------

  function operationNamed(name) {
    return operations.find((op) => op.name === name);
  }

  // The roles of a row's parameters: the text worked on, the keys (a
  // Number, a password, a seed) and where the result comes back.
  function rolesOf(op) {
    const read = op.parameters.filter((p) => p.direction !== "out");
    const input = read.find((p) => p.type === "String" && !keyNames.has(p.name) && !p.file);
    const keys = read.filter((p) => p !== input);
    const output = op.parameters.find((p) => p.direction === "out");
    return { input, keys, output };
  }

  function fillOperations() {
    const select = $("operation");
    const offered = operations.filter(
      (op) => op.kind === "method" && !notTexts.has(op.name) && rolesOf(op).input !== undefined);
    const placed = new Set();
    const lastGroup = groups[groups.length - 1];
    for (const op of offered) {
      if (!groups.some((g) => g.ops.includes(op.name))) lastGroup.ops.push(op.name);
    }
    for (const group of groups) {
      const optgroup = document.createElement("optgroup");
      optgroup.label = group.label;
      for (const name of group.ops) {
        const op = offered.find((o) => o.name === name);
        if (!op || placed.has(name)) continue;
        placed.add(name);
        const option = document.createElement("option");
        option.value = name;
        option.textContent = describe[name] ? `${name}: ${describe[name][0]}` : name;
        optgroup.appendChild(option);
      }
      if (optgroup.children.length > 0) select.appendChild(optgroup);
    }
  }

  // The ways a text can be written, offered by a select.
  const formatNames = { text: "text", hex: "hexadecimal codes", base64: "base64" };
  function fillFormats(select, formats) {
    for (const value of formats) {
      const option = document.createElement("option");
      option.value = value;
      option.textContent = formatNames[value];
      select.appendChild(option);
    }
  }

  function keyField(parameter) {
    const row = document.createElement("div");
    row.className = "row";
    const id = `key-${parameter.name}`;
    const label = document.createElement("label");
    label.htmlFor = id;
    if (parameter.type === "Byte") {
      label.textContent = `${parameter.name} (0 to 255)`;
      const input = document.createElement("input");
      input.type = "number";
      input.id = id;
      input.min = "0";
      input.max = "255";
      input.value = "0";
      row.append(label, input);
      return row;
    }
    label.textContent = parameter.name === "SeedPassword" ? "Seed (SeedPassword)" : parameter.name;
    const wrap = document.createElement("span");
    wrap.className = "key";
    const input = document.createElement("input");
    input.type = parameter.name === "Password" ? "password" : "text";
    input.id = id;
    input.autocomplete = "off";
    input.spellcheck = false;
    const format = document.createElement("select");
    format.id = `${id}-format`;
    format.setAttribute("aria-label", `The ${parameter.name} is`);
    fillFormats(format, ["text", "hex"]);
    wrap.append(input, format);
    if (input.type === "password") {
      const show = document.createElement("input");
      show.type = "checkbox";
      show.id = `${id}-show`;
      const showLabel = document.createElement("label");
      showLabel.htmlFor = show.id;
      showLabel.textContent = "show";
      show.addEventListener("change", () => {
        input.type = show.checked ? "text" : "password";
      });
      wrap.append(show, showLabel);
    }
    row.append(label, wrap);
    return row;
  }

  function selectOperation() {
    const op = operationNamed($("operation").value);
    const keys = $("keys");
    keys.replaceChildren();
    for (const parameter of rolesOf(op).keys) keys.appendChild(keyField(parameter));
    const group = groups.find((g) => g.ops.includes(op.name));
    const need = describe[op.name] ? ` What you need: ${describe[op.name][1]}.` : "";
    $("operation-help").textContent =
      `${group.label}: ${op.name}(${op.parameters.map((p) => p.name).join(", ")}).${need}`;
  }

  // The value of a key field for the module: a number as written, or codes.
  function keyValue(parameter) {
    const input = $(`key-${parameter.name}`);
    if (parameter.type === "Byte") return input.value.trim();
    return decode(input.value, $(`key-${parameter.name}-format`).value);
  }

  // One run of `op` on the codes `input`: {codes, error, messages, notes}.
  function runOnce(op, roles, input, keys) {
    const args = op.parameters.map((p) => {
      if (p === roles.input) return input;
      if (p.direction === "out") return null;
      return keys.get(p.name);
    });
    const answer = control.invoke(op.name, args);
    const run = { messages: answer.messages, error: answer.error, codes: null, notes: [] };
    if (answer.error) return run;
    run.codes = roles.output ? answer.outputs[roles.output.name] : answer.result;
    for (const p of op.parameters) {
      if (p.direction === "in, out") {
        run.notes.push(`${p.name} now holds ${JSON.stringify(codesToText(answer.outputs[p.name]))}.`);
      }
    }
    if (run.codes === null) {
      run.notes.push("The result is the empty variant: no character was produced.");
      run.codes = new Uint8Array(0);
    }
    return run;
  }

  // The records of the input: one per line (LF or CRLF); a last line
  // without an ending is a record too.
  function recordsOf(text) {
    const lines = text.split("\n").map((line) => (line.endsWith("\r") ? line.slice(0, -1) : line));
    if (lines.length > 0 && lines[lines.length - 1] === "") lines.pop();
    return lines;
  }

  let inputCodes = null; // the codes of a dropped or chosen file, shown in part

  async function runTexts() {
    showError("error", "");
    $("record-errors").replaceChildren();
    const op = operationNamed($("operation").value);
    const roles = rolesOf(op);
    let keys;
    try {
      keys = new Map(roles.keys.map((p) => [p.name, keyValue(p)]));
    } catch (e) {
      if (!(e instanceof InputError)) throw e;
      showError("error", `The key: ${e.message}.`);
      return;
    }
    const format = $("input-format").value;
    const started = performance.now();
    if (!$("records").checked) {
      let input;
      try {
        input = inputCodes !== null ? inputCodes : decode($("input").value, format);
      } catch (e) {
        if (!(e instanceof InputError)) throw e;
        showError("error", `The input: ${e.message}.`);
        return;
      }
      const run = runOnce(op, roles, input, keys);
      const elapsed = performance.now() - started;
      await showBoxes(run.messages);
      if (run.error) {
        showError("error", errorText(run.error));
        $("result-area").hidden = true;
        return;
      }
      result = { single: run.codes };
      $("run-info").textContent = `${op.name}: ${input.length} codes in, ${run.codes.length} out, ${elapsed.toFixed(1)} ms.`;
      showResult(run.notes);
      return;
    }
    const text = inputCodes !== null ? codesToText(inputCodes) : $("input").value;
    const lines = recordsOf(text);
    const outputs = [];
    const failures = [];
    const messages = [];
    lines.forEach((line, index) => {
      let record;
      try {
        record = decode(line, format);
      } catch (e) {
        if (!(e instanceof InputError)) throw e;
        failures.push(`line ${index + 1}: ${e.message}`);
        outputs.push(null);
        return;
      }
      const run = runOnce(op, roles, record, keys);
      messages.push(...run.messages);
      if (run.error) {
        failures.push(`line ${index + 1}: ${errorText(run.error)}`);
        outputs.push(null);
      } else {
        outputs.push(run.codes);
      }
    });
    await showBoxes(messages);
    result = { records: outputs };
    $("run-info").textContent = `${op.name}: ${lines.length} records, ${failures.length} failed.`;
    for (const failure of failures) {
      const item = document.createElement("li");
      item.textContent = failure;
      $("record-errors").appendChild(item);
    }
    showResult(failures.length > 0 ? [`${failures.length} of ${lines.length} records failed; each gives an empty line.`] : []);
  }

  // The result in the chosen view: {text, complete}; with `limit`, only
  // about the first `limit` characters of it (the shown part of a long
  // result), `complete` telling whether that is all.
  function resultText(limit = Infinity) {
    const view = $("result-view").value;
    // How many codes make `limit` characters in the view.
    const codes = view === "hex" ? Math.ceil(limit / 2) : view === "base64" ? Math.ceil(limit / 4) * 3 : limit;
    if (result.single) {
      return { text: encode(result.single.subarray(0, codes), view), complete: codes >= result.single.length };
    }
    const lines = [];
    let length = 0;
    let complete = true;
    for (const record of result.records) {
      if (length > limit) {
        complete = false;
        break;
      }
      if (record !== null && record.length > codes) complete = false;
      const line = record === null ? "" : encode(record.subarray(0, codes), view);
      lines.push(line);
      length += line.length + 1;
    }
    return { text: lines.length > 0 ? lines.join("\n") + "\n" : "", complete };
  }

  // The bytes a download gives: the codes themselves in the text view,
  // the view's characters otherwise; records one per line.
  function resultBytes() {
    const view = $("result-view").value;
    if (view !== "text") return utf8Encoder.encode(resultText().text);
    if (result.single) return result.single;
    const size = result.records.reduce((sum, codes) => sum + (codes ? codes.length : 0) + 1, 0);
    const bytes = new Uint8Array(size);
    let at = 0;
    for (const codes of result.records) {
      if (codes) bytes.set(codes, at);
      at += (codes ? codes.length : 0) + 1;
      bytes[at - 1] = 10;
    }
    return bytes;
  }

  function showResult(notes) {
    const shown = resultText(shownLimit);
    $("result").value = shown.text;
    const info = [...notes];
    if (!shown.complete) {
      const whole = result.single ? `${result.single.length.toLocaleString("en")} codes` : `${result.records.length.toLocaleString("en")} records`;
      info.push(`Showing the beginning of a long result (${whole}); Copy and Download take all of it.`);
    }
    $("result-info").textContent = info.join(" ");
    $("result-area").hidden = false;
  }

  function download(bytes, name) {
    const url = URL.createObjectURL(new Blob([bytes], { type: "application/octet-stream" }));
    const link = document.createElement("a");
    link.href = url;
    link.download = name;
    document.body.appendChild(link);
    link.click();
    link.remove();
    setTimeout(() => URL.revokeObjectURL(url), 1000);
  }

  async function copyResult() {
    const text = resultText().text;
    try {
      await navigator.clipboard.writeText(text);
    } catch (e) {
      // Without the clipboard interface (some browsers over file://), the
      // shown text is selected and copied the old way.
      $("result").select();
      document.execCommand("copy");
    }
    $("result-info").textContent = "Copied.";
  }

  function loadInputFile(file) {
    showError("error", "");
    if (file.size > fileLimit) {
      showError("error", tooLarge(file));
      return;
    }
    file.arrayBuffer().then((buffer) => {
      inputCodes = new Uint8Array(buffer);
      const textarea = $("input");
      if (inputCodes.length <= shownLimit) {
        textarea.value = encode(inputCodes, $("input-format").value);
        inputCodes = null;
      } else {
        textarea.value = "";
        textarea.placeholder = `${file.name}: ${inputCodes.length.toLocaleString("en")} codes, used as they are (type here to replace them)`;
      }
    });
  }

  // ---- the file panel ----------------------------------------------------------

  let fileChosen = null;
  let fileResult = null;

  function tooLarge(file) {
    const mib = (file.size / (1024 * 1024)).toFixed(1);
    return `${file.name} has ${file.size.toLocaleString("en")} bytes (${mib} MiB): the page works on files of up to 64 MiB ` +
      `(${fileLimit.toLocaleString("en")} bytes), in memory. The quillfern command takes files of any size.`;
  }

  function chooseFile(file) {
    showError("file-error", "");
    fileResult = null;
    $("file-download").disabled = true;
    $("file-result").textContent = "";
    if (file.size > fileLimit) {
      fileChosen = null;
      $("file-info").textContent = "";
      showError("file-error", tooLarge(file));
      return;
    }
    fileChosen = file;
    $("file-info").textContent = `${file.name}: ${file.size.toLocaleString("en")} bytes.`;
  }

  async function runFile() {
    showError("file-error", "");
    if (fileChosen === null) {
      showError("file-error", "Choose or drop a file first.");
      return;
    }
    let password;
    try {
      password = decode($("file-password").value, $("file-password-format").value);
    } catch (e) {
      if (!(e instanceof InputError)) throw e;
      showError("file-error", `The password: ${e.message}.`);
      return;
    }
    const stateText = $("file-state").value.trim();
    const state = /^[0-9]+$/.test(stateText) ? Number(stateText) : NaN;
    if (!(state >= 0 && state <= 0xFFFFFF)) {
      showError("file-error", "The generator state is a whole number from 0 to 16777215.");
      return;
    }
    const bytes = new Uint8Array(await fileChosen.arrayBuffer());
    control.setGeneratorState(state);
    const started = performance.now();
    const answer = control.invoke("EncodeDecodeFile", [bytes, null, password]);
    const elapsed = performance.now() - started;
    await showBoxes(answer.messages);
    if (answer.error) {
      showError("file-error", errorText(answer.error));
      return;
    }
    fileResult = { bytes: answer.files.OutputFile, name: `${fileChosen.name}.out` };
    const after = control.generatorState();
    $("file-state").value = String(after);
    $("file-result").textContent = `Done: ${fileResult.bytes.length.toLocaleString("en")} bytes in ${elapsed.toFixed(1)} ms. Generator state after: ${after} (now in the field above).`;
    $("file-download").disabled = false;
  }

  // ---- identify ----------------------------------------------------------------

  function runIdentify() {
    showError("identify-error", "");
    const list = $("readings");
    list.replaceChildren();
    let codes;
    try {
      codes = decode($("identify-input").value, $("identify-format").value);
    } catch (e) {
      if (!(e instanceof InputError)) throw e;
      showError("identify-error", `The text: ${e.message}.`);
      return;
    }
    const readings = quillfern.identify(codes, false);
    if (readings.length === 0) {
      const item = document.createElement("li");
      item.textContent = "No reading looks like text: it was not made by an operation that identify can undo, or not from text.";
      list.appendChild(item);
      return;
    }
    for (const reading of readings.slice(0, 10)) {
      const item = document.createElement("li");
      let key = "";
      if (reading.madeBy === "EncryptPassword") key = `, Number ${reading.key}`;
      if (reading.madeBy === "TextBoxCrypt") key = `, key number ${reading.key}`;
      if (reading.madeBy === "EnCipherText") key = `, password ${JSON.stringify(codesToText(reading.password))}`;
      const more = reading.length > reading.text.length ? "…" : "";
      item.textContent = `${reading.madeBy}${key}: ${JSON.stringify(codesToText(reading.text))}${more} ` +
        `(${reading.length} codes; score ${reading.bits.toFixed(1)} bits), restored by ${reading.restoredBy}`;
      list.appendChild(item);
    }
  }

  // ---- start -------------------------------------------------------------------

  function dropTarget(element, take) {
    element.addEventListener("dragover", (event) => {
      event.preventDefault();
      element.classList.add("dragging");
    });
    element.addEventListener("dragleave", () => element.classList.remove("dragging"));
    element.addEventListener("drop", (event) => {
      event.preventDefault();
      element.classList.remove("dragging");
      if (event.dataTransfer.files.length > 0) take(event.dataTransfer.files[0]);
    });
  }

  // The module's WebAssembly, from the base64 text the page carries.
  function wasmOfPage() {
    const binary = atob($("module-wasm").textContent.trim());
    const bytes = new Uint8Array(binary.length);
    for (let i = 0; i < binary.length; i++) bytes[i] = binary.charCodeAt(i);
    return bytes;
  }

  // Counts the runs that are over, boxes dismissed and result shown.
  function finished(run) {
    return run.finally(() => {
      document.body.dataset.runs = String(Number(document.body.dataset.runs || "0") + 1);
    });
  }

  function reportFailure(id) {
    return (e) => showError(id, `The page failed: ${e && e.message ? e.message : e}`);
  }

  async function start() {
    quillfern = await createQuillfern({ wasmBinary: wasmOfPage() });
    control = new quillfern.Control(codePage());
    operations = quillfern.operations();
    $("version").textContent = quillfern.version();
    for (const select of document.querySelectorAll("select[data-formats]")) {
      fillFormats(select, select.dataset.formats.split(" "));
    }
    fillOperations();
    selectOperation();
    $("operation").addEventListener("change", selectOperation);
    $("code-page").addEventListener("change", () => {
      control.setCodePage(codePage());
      if (result) showResult([]);
    });
    $("run").addEventListener("click", () => finished(runTexts().catch(reportFailure("error"))));
    $("result-view").addEventListener("change", () => showResult([]));
    $("copy").addEventListener("click", () => copyResult().catch(reportFailure("error")));
    $("download").addEventListener("click", () => {
      const view = $("result-view").value;
      download(resultBytes(), view === "text" ? "result.bin" : `result.${view === "hex" ? "hex" : "b64"}.txt`);
    });
    $("input").addEventListener("input", () => {
      inputCodes = null;
      $("input").placeholder = "";
    });
    $("input-file").addEventListener("change", (event) => {
      if (event.target.files.length > 0) loadInputFile(event.target.files[0]);
    });
    dropTarget($("input"), loadInputFile);
    $("file-input").addEventListener("change", (event) => {
      if (event.target.files.length > 0) chooseFile(event.target.files[0]);
    });
    dropTarget($("file-drop"), chooseFile);
    $("file-run").addEventListener("click", () => finished(runFile().catch(reportFailure("file-error"))));
    $("file-download").addEventListener("click", () => {
      if (fileResult) download(fileResult.bytes, fileResult.name);
    });
    $("identify-run").addEventListener("click", () => {
      try {
        runIdentify();
      } catch (e) {
        reportFailure("identify-error")(e);
      }
    });
    $("box-ok").addEventListener("click", () => $("message-box").close());
    $("file-state").value = String(newProcessState);
    document.body.dataset.ready = "true";
  }

  // For the page's own tests: the module and the control the page uses.
  window.quillfernPage = {
    module: () => quillfern,
    control: () => control,
  };
  start().catch(reportFailure("error"));
})();
