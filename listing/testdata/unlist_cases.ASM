	LIST P=18F4550	;directive to define processor
	#include <P18F4550.INC> ;processor specific variable definitions
; Program listing
; 
    BRA 0x190;   01A4    D7F5  
;   01a4    D7F5     BRA 0x190
    NOP;   01:G    G::0  
    ;   0002    F000  
;   0002    F000    
;   01A4	   D7F5     NOP
    RETURN 0x0 ; CRinside;   01A6    0012  
; main:
    GOTO 0x8;   01A8    EF04  
