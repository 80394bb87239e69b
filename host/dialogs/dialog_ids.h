// Template numbers and control ids of the three parameter dialogs. Plain
// macros, because the resource compiler reads this header too.
#pragma once

#define IDD_DECODER 101
#define IDD_ENCODER 102
#define IDD_LLR 103
#define IDB_LOGO 102
#define IDC_LOGO 102

// Encoder dialog.
#define IDC_ENC_NX 1019
#define IDC_ENC_NY 1020
#define IDC_ENC_NZ 1021
#define IDC_ENC_KX 1022
#define IDC_ENC_KY 1023
#define IDC_ENC_KZ 1024
#define IDC_ENC_DELAY 1025
#define IDC_ENC_INTERLEAVE 1026
#define IDC_ENC_SECONDS 1027
#define IDC_ENC_BITS 1028
#define IDC_ENC_OK 1029
#define IDC_ENC_CANCEL 1030
#define IDC_ENC_THRESHOLD 1031

// Decoder dialog; its OK and Cancel are the standard ids 1 and 2.
#define IDC_DEC_OK 1
#define IDC_DEC_CANCEL 2
#define IDC_DEC_NX 1000
#define IDC_DEC_NY 1001
#define IDC_DEC_NZ 1002
#define IDC_DEC_KX 1003
#define IDC_DEC_KY 1004
#define IDC_DEC_KZ 1005
#define IDC_DEC_NUMX 1006
#define IDC_DEC_NUMY 1007
#define IDC_DEC_NUMZ 1008
#define IDC_DEC_RESOLUTION 1009
#define IDC_DEC_QUANT_LIMIT 1010
#define IDC_DEC_ITERATIONS 1011
#define IDC_DEC_DEINTERLEAVE 1012
#define IDC_DEC_SELECTIVE_STOP 1013
#define IDC_DEC_DELAY 1014
#define IDC_DEC_SECONDS 1015
#define IDC_DEC_BITS 1016
#define IDC_DEC_BPSK 1040
#define IDC_DEC_HIGHER_ORDER 1041

// LLR calculator dialog.
#define IDC_LLR_OK 1032
#define IDC_LLR_CANCEL 1033
#define IDC_LLR_BROWSE 1034
#define IDC_LLR_ESNO 1035
#define IDC_LLR_NUMSYM 1037
#define IDC_LLR_QUANT_LIMIT 1038
#define IDC_LLR_FILE 1043
