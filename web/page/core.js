"use strict";
// The compiled libraries behind one function: a request is a JSON object (and,
// for an image or a table file, its bytes); the answer is the object the
// library gives, with the bytes of a download in `bytes`.
window.openQuillmereCore = async function openQuillmereCore() {
  const module = await createQuillmereCore();

  function call(request, bytes) {
    const text = JSON.stringify(request);
    const textLength = module.lengthBytesUTF8(text) + 1;
    const textAt = module._qm_alloc(textLength);
    const data = bytes || new Uint8Array(0);
    const dataAt = module._qm_alloc(data.length);
    try {
      module.stringToUTF8(text, textAt, textLength);
      module.HEAPU8.set(data, dataAt);
      const answer = JSON.parse(module.UTF8ToString(module._qm_call(textAt, dataAt, data.length)));
      const size = module._qm_output_size();
      if (size > 0) {
        const at = module._qm_output();
        answer.bytes = module.HEAPU8.slice(at, at + size);
      }
      return answer;
    } finally {
      module._qm_free(textAt);
      module._qm_free(dataAt);
    }
  }

  return { call };
};
