/* The fiscal-memory library: downloads of a fiscal printer's fiscal memory, audit memory and
 * signed files, conversions of stored files into reports, signature checks and key tools.
 *
 * Built as libTalvMFD2ES.so and libTalvMFD2RD.so from the same code. Every text argument is a
 * zero-terminated 8-bit (Windows-1252) string; `port` is a port name as the program's settings
 * hold it ("COM1:".."COM8:", a device path, "USB", "SOCKET", "FILE"); dates are DDMMYY unless
 * DDMMYYYY is said. Every function returns a result code (0 success unless said otherwise):
 *
 *    2 audit file without serial number     13 COO invalid
 *    3 date invalid                         14 user invalid
 *    4 .txt file cannot be opened           15 first COO after last
 *    5 database file cannot be opened       16 out of memory
 *    6 files without valid data             17 file invalid
 *    7 command not executed                 18 serial port error
 *    8 printer does not answer              19 output file cannot be written
 *    9 syntax incorrect                     20 download cancelled
 *   10 communication port invalid           21 error downloading
 *   11 download kind invalid                22 public key with error
 *   12 first date after last
 *
 * docs/fiscal-memory-library.md describes each function, docs/fiscal-memory-protocol.md the
 * printer protocol and docs/file-formats.md the files. The functions are not reentrant: one
 * caller at a time. */
#ifndef TALVMFD_H
#define TALVMFD_H

#ifdef __cplusplus
extern "C" {
#endif

#if defined(TALVMFD_BUILDING)
#define TALV_API __attribute__((visibility("default")))
#else
#define TALV_API
#endif

/* Size of the verdict buffer that TalvValidateRZ fills (zero-terminated). */
#define TALV_VERDICT_SIZE 1024
/* Size of the serial-number buffer of TalvGetSerialNumber. */
#define TALV_SERIAL_SIZE 25

/* ---- settings and status */
/* The speed of the downloads that follow: 9600, 19200, 38400, 57600 or 115200 (9 for any other).
 * The printer is addressed at 9600, asked to switch, and goes back to 9600 at the end. */
TALV_API int TalvSetBaudrate(int baud);
TALV_API int TalvGetSerialNumber(const char* port, char* serial /* TALV_SERIAL_SIZE, zero-filled */);
/* The acknowledge byte (6 ACK, 0x15 NAK) and the status bytes of the last answer received, also by
 * an earlier process of the same user; 7 when there is none. */
TALV_API int TalvGetLastAck(unsigned char* ack, unsigned char* st1, unsigned char* st2);
/* Ours: progress of the running download. The callback gets the bytes done and the bytes
 * expected (0 when not known yet) and returns non-zero to cancel (the download then ends with
 * 20 and leaves no file under the output name). A null callback removes it. */
typedef int (*TalvProgressCallback)(long long done, long long expected, void* context);
TALV_API int TalvSetProgressCallback(TalvProgressCallback callback, void* context);

/* ---- downloads. Files are written under a temporary name beside `file` and renamed when
 * complete: a failed or cancelled download leaves nothing under the name. */
TALV_API int TalvDownloadMF(const char* port, const char* file);
TALV_API int TalvDownloadMFK(const char* port, const char* file);
TALV_API int TalvDownloadSB(const char* port, const char* file);
TALV_API int TalvDownloadLecturaX(const char* port, const char* file);
TALV_API int TalvDownloadPublicKey(const char* port, const char* file);
/* kind: "2" by COO, "1" by date, "0" whole memory; first, last: six-digit COO numbers or
 * DDMMYY dates (empty for the whole memory); user: three digits for COO, else empty. */
TALV_API int TalvDownloadMFD(const char* port, const char* file, const char* kind, const char* first,
                             const char* last, const char* user);
TALV_API int TalvDownloadMPK(const char* port, const char* file, const char* kind, const char* first,
                             const char* last, const char* user);
/* kind: "2" by number, "1" by date; variant: "r" simplified, "R" normal. */
TALV_API int TalvDownloadLecturaMF(const char* port, const char* file, const char* kind, const char* first,
                                   const char* last, const char* variant);
TALV_API int TalvDownloadRelTransacciones(const char* port, const char* file, const char* kind,
                                          const char* first, const char* last, const char* variant);
/* The download in parts, by memory address. kind "1": the addresses first..last (eight decimal
 * digits) of the audit memory into file, result 1 when fetched; kind "0": the signature of the
 * range first..last, result 0 when fetched. wait: answer time-out in tenths of a second
 * ("100", "10"); mode: 1 data, 2 signature. */
TALV_API int TalvDownloadMFDByAddress(const char* port, const char* file, const char* kind, const char* first,
                                      const char* last, const char* wait, int mode);
/* signed_file may be a null pointer. 0 when the report was written, whatever it found. */
TALV_API int TalvDiagnoseMF(const char* port, const char* signed_file, const char* output);

/* ---- conversions of an audit file (.mra, .mpk, .mfd) */
TALV_API int TalvGeraTxtPorCOO(const char* audit, const char* output, int user, int first, int last);
TALV_API int TalvGeraMdbPorCOO(const char* audit, const char* output, int user, int first, int last);
TALV_API int TalvGeraXmlPorCOO(const char* audit, const char* output, int user, int first, int last);
TALV_API int TalvGeraLibroDeVentasPorCOO(const char* audit, const char* output, int user, int first, int last);
TALV_API int TalvGeraLibroDeVentasPorCOORD(const char* audit, const char* output, int user, int first, int last);
TALV_API int TalvGeraTxtPorData(const char* audit, const char* output, const char* first, const char* last);
TALV_API int TalvGeraMdbPorData(const char* audit, const char* output, const char* first, const char* last);
TALV_API int TalvGeraXmlPorData(const char* audit, const char* output, const char* first, const char* last);
TALV_API int TalvGeraLibroDeVentasPorData(const char* audit, const char* output, const char* first,
                                          const char* last);
TALV_API int TalvGeraLibroDeVentasPorDataRD(const char* audit, const char* output, const char* first,
                                            const char* last);
TALV_API int TalvGeraTxtTotal(const char* audit, const char* output);
TALV_API int TalvGeraMdbTotal(const char* audit, const char* output);
TALV_API int TalvGeraXmlTotal(const char* audit, const char* output);
TALV_API int TalvGeraLibroDeVentasTotal(const char* audit, const char* output);
TALV_API int TalvGeraLibroDeVentasTotalRD(const char* audit, const char* output);
/* files: each input file followed by "|". */
TALV_API int TalvGeraLibroMensualDeVentas(const char* files, const char* output);
/* kind: "C" by Z number, "D" by date, "c" and "d" the simplified forms. */
TALV_API int TalvRelatorioMFTxt(const char* fiscal_memory, const char* output, const char* kind, const char* first,
                                const char* last);
/* selector: "1" by COO, "0" by date; source: "0" fiscal memory, "1" audit memory; e1..e3 and
 * x1..x13 are empty strings. */
TALV_API int TalvGeraRegistrosParciaisTipoE(const char* input, const char* output, const char* selector,
                                            const char* first, const char* last, const char* e1, const char* e2,
                                            const char* e3, const char* source, const char* x1, const char* x2,
                                            const char* x3, const char* x4, const char* x5, const char* x6,
                                            const char* x7, const char* x8, const char* x9, const char* x10,
                                            const char* x11, const char* x12, const char* x13);
TALV_API int TalvGeraRegistrosTipoE(const char* input, const char* output, const char* source, const char* one);
TALV_API int TalvIdentificaMAArchivo(const char* audit, const char* output);

/* ---- PDF-417 pictures into an audit file */
TALV_API int TalvOpenPdf417ToMfd(const char* output);
TALV_API int TalvAddBmpFile(const char* picture);
/* 23: symbols missing, nothing written; a second call right after writes the symbols read. */
TALV_API int TalvClosePdf417ToMfd(void);
/* text: a buffer of TALV_VERDICT_SIZE bytes; the last picture's outcome or why it was refused,
 * or the symbols missing after result 23 (Windows-1252, zero-terminated). */
TALV_API int TalvGetPdf417Status(char* text);

/* ---- signatures, keys, encryption */
/* 0 valid, 255 invalid, other: the file or the key cannot be read. */
TALV_API int TalvValidate(const char* signed_file, const char* public_key);
/* verdict: a buffer of TALV_VERDICT_SIZE bytes, filled with a zero-terminated text. 0 valid (the
 * verdict names the reduction, its date and totals), 255 does not match the key, 17 not a
 * Z-validation text, 4 the text file cannot be opened, 22 the key cannot be read. */
TALV_API int TalvValidateRZ(const char* z_text_file, const char* public_key, char* verdict);
TALV_API int TalvGenerateKeys(const char* public_key, const char* private_key);
TALV_API int TalvAutentificationDLLKeys(const char* text, const char* signed_text, const char* public_key);
TALV_API int TalvValidationDLLKeys(const char* signed_text, const char* private_key);
TALV_API int TalvDescriptografaXmlAES(const char* encrypted, const char* output_xml);

/* ---- menu "PA 0421-06" and menu "Panamá". verificarConexion takes (brand, model, port) from
 * the first menu and (port, model, NULL) from the second. */
TALV_API int verificarConexion(const char* a, const char* b, const char* c);
TALV_API int leerEncabezadoMemoriaFiscal(const char* brand, const char* model, const char* output);
TALV_API int leerEncabezadoMemoriaAuditoria(const char* brand, const char* model, const char* output);
TALV_API int leerMemoriaFiscalFecha(const char* brand, const char* model, const char* first, const char* last,
                                    const char* output);
TALV_API int leerMemoriaAuditoriaFecha(const char* brand, const char* model, const char* first,
                                       const char* last, const char* output);
TALV_API int leerMemoriaFiscal(const char* port, const char* model, const char* first, const char* last,
                               const char* output);
TALV_API int leerMemoriaAuditoria(const char* port, const char* model, const char* first, const char* last,
                                  const char* output);

#ifdef __cplusplus
}
#endif

#endif /* TALVMFD_H */
