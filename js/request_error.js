// The library answers a request it cannot read with an error envelope; callers get an exception.

/** A request the library could not read; `message` is the library's own text. */
export class RequestError extends Error {
  constructor(message) {
    super(message);
    this.name = 'RequestError';
  }
}

/** The response object of a response text; an error envelope throws RequestError. */
export function parseResponse(text) {
  const response = JSON.parse(text);
  // Unplaced items also make "success" false, but only an envelope carries "error".
  if (response.success === false && typeof response.error === 'string') {
    throw new RequestError(response.error);
  }
  return response;
}

/** The request as the library's input text: a string passes unchanged, anything else as JSON. */
export function requestText(request) {
  return typeof request === 'string' ? request : JSON.stringify(request);
}
