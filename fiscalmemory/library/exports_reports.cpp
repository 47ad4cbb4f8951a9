// Entry points of the fiscal-memory library with C linkage. Not done yet: "command not
// executed" (7).
#include "fiscalmemory/library/talvmfd.h"

extern "C" {

int TalvGeraTxtPorCOO(const char* audit, const char* output, int user, int first, int last) { return 7; }
int TalvGeraMdbPorCOO(const char* audit, const char* output, int user, int first, int last) { return 7; }
int TalvGeraXmlPorCOO(const char* audit, const char* output, int user, int first, int last) { return 7; }
int TalvGeraLibroDeVentasPorCOO(const char* audit, const char* output, int user, int first, int last) { return 7; }
int TalvGeraLibroDeVentasPorCOORD(const char* audit, const char* output, int user, int first, int last) { return 7; }
int TalvGeraTxtPorData(const char* audit, const char* output, const char* first, const char* last) { return 7; }
int TalvGeraMdbPorData(const char* audit, const char* output, const char* first, const char* last) { return 7; }
int TalvGeraXmlPorData(const char* audit, const char* output, const char* first, const char* last) { return 7; }
int TalvGeraLibroDeVentasPorData(const char* audit, const char* output, const char* first, const char* last) { return 7; }
int TalvGeraLibroDeVentasPorDataRD(const char* audit, const char* output, const char* first, const char* last) { return 7; }
int TalvGeraTxtTotal(const char* audit, const char* output) { return 7; }
int TalvGeraMdbTotal(const char* audit, const char* output) { return 7; }
int TalvGeraXmlTotal(const char* audit, const char* output) { return 7; }
int TalvGeraLibroDeVentasTotal(const char* audit, const char* output) { return 7; }
int TalvGeraLibroDeVentasTotalRD(const char* audit, const char* output) { return 7; }
int TalvGeraLibroMensualDeVentas(const char* files, const char* output) { return 7; }
int TalvRelatorioMFTxt(const char* fiscal_memory, const char* output, const char* kind, const char* first, const char* last) { return 7; }
int TalvGeraRegistrosParciaisTipoE(const char* input, const char* output, const char* selector, const char* first, const char* last, const char* e1, const char* e2, const char* e3, const char* source, const char* x1, const char* x2, const char* x3, const char* x4, const char* x5, const char* x6, const char* x7, const char* x8, const char* x9, const char* x10, const char* x11, const char* x12, const char* x13) { return 7; }
int TalvGeraRegistrosTipoE(const char* input, const char* output, const char* source, const char* one) { return 7; }
int TalvIdentificaMAArchivo(const char* audit, const char* output) { return 7; }
int TalvGenerateKeys(const char* public_key, const char* private_key) { return 7; }
int TalvAutentificationDLLKeys(const char* text, const char* signed_text, const char* public_key) { return 7; }
int TalvValidationDLLKeys(const char* signed_text, const char* private_key) { return 7; }
int TalvDescriptografaXmlAES(const char* encrypted, const char* output_xml) { return 7; }
int verificarConexion(const char* a, const char* b, const char* c) { return 7; }
int leerEncabezadoMemoriaFiscal(const char* brand, const char* model, const char* output) { return 7; }
int leerEncabezadoMemoriaAuditoria(const char* brand, const char* model, const char* output) { return 7; }
int leerMemoriaFiscalFecha(const char* brand, const char* model, const char* first, const char* last, const char* output) { return 7; }
int leerMemoriaAuditoriaFecha(const char* brand, const char* model, const char* first, const char* last, const char* output) { return 7; }
int leerMemoriaFiscal(const char* port, const char* model, const char* first, const char* last, const char* output) { return 7; }
int leerMemoriaAuditoria(const char* port, const char* model, const char* first, const char* last, const char* output) { return 7; }

}  // extern "C"
