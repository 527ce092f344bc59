; A KORVA Builder test game: one source for all sixteen, set up by the
; generated game.inc (GAME_ID, PRG_KB, CHR_KB, MAPPER, MIRROR_V, GAME_NAME).
;
; It shows its own name and data on screen and leaves a signature in RAM so
; that a test can tell which game runs, whether its mirroring is right and
; whether the CHR it sees is its own (layout in README.md):
;   $0300 'K'  $0301 'V'  $0302 game number  $0303 its complement
;   $0304 mirroring found: 1 vertical, 0 horizontal, $FF neither
;   $0305 mapper           $0306 number of CHR banks tried
;   $0308-$030B  first byte of tile $FF in CHR bank 0 to 3 (game * 4 + bank)
;   $030C  the same after selecting bank 4 (must wrap into the game's own window)
;   $030D  the same after trying to rewrite the board's registers (locked)
;   $0310-$0322  the game's name, space filled
;   $0330 frame counter    $0331 CHR bank shown now
; Mapper 3 and mapper 87 games go on switching CHR banks once a second.

.include "game.inc"

PPUCTRL   = $2000
PPUMASK   = $2001
PPUSTATUS = $2002
PPUSCROLL = $2005
PPUADDR   = $2006
PPUDATA   = $2007

SIG       = $0300
SIG_MIRROR = $0304
SIG_CHR   = $0308
SIG_WRAP  = $030C
SIG_LOCK  = $030D
SIG_NAME  = $0310
FRAMES    = $0330
BANK      = $0331

.if MAPPER = 3 || MAPPER = 87
  BANKS = CHR_KB / 8
.else
  BANKS = 1
.endif

.segment "HEADER"
        .byte "NES", $1A
        .byte PRG_KB / 16, CHR_KB / 8
        .byte ((MAPPER & $0F) << 4) | MIRROR_V
        .byte MAPPER & $F0
        .res 8, 0

.segment "ZEROPAGE"
ptr:    .res 2
tick:   .res 1

.segment "CODE"
reset:
        sei
        cld
        ldx #$40
        stx $4017
        ldx #$FF
        txs
        inx
        stx PPUCTRL
        stx PPUMASK
        stx $4010
        bit PPUSTATUS
@v1:    bit PPUSTATUS
        bpl @v1
        txa
@ram:   sta $0000,x
        sta $0100,x
        sta $0200,x
        sta $0300,x
        sta $0400,x
        sta $0500,x
        sta $0600,x
        sta $0700,x
        inx
        bne @ram
@v2:    bit PPUSTATUS
        bpl @v2

        ; signature
        lda #'K'
        sta SIG
        lda #'V'
        sta SIG+1
        lda #GAME_ID
        sta SIG+2
        eor #$FF
        sta SIG+3
        lda #MAPPER
        sta SIG+5
        lda #BANKS
        sta SIG+6
        ldx #0
@name:  lda name_text,x
        beq @pad
        sta SIG_NAME,x
        inx
        bne @name
@pad:   lda #' '
@pad2:  cpx #19
        bcs @named
        sta SIG_NAME,x
        inx
        bne @pad2
@named:

        jsr find_mirroring
        sta SIG_MIRROR

        ; the CHR banks it can select, each read back through the PPU
        ldx #0
@banks: txa
        jsr select_bank
        jsr read_signature
        sta SIG_CHR,x
        inx
        cpx #BANKS
        bne @banks
        lda #4                  ; outside a 32 KB window: must wrap to bank 0
        jsr select_bank
        jsr read_signature
        sta SIG_WRAP

        ; the board is locked: these writes must change nothing
        lda #$1F
        sta $5000
        lda #$00
        sta $5001
        sta $5002
        sta $5003
        jsr read_signature
        sta SIG_LOCK

        lda #0
        sta BANK
        jsr select_bank
        jsr draw_screen

        lda #0
        sta PPUSCROLL
        sta PPUSCROLL
        lda #$80
        sta PPUCTRL
        lda #$0A
        sta PPUMASK
forever:
        jmp forever

; A = 1 vertical, 0 horizontal, $FF neither: writes three name tables and
; sees which write $2000 shows.
find_mirroring:
        bit PPUSTATUS
        ldx #$20
        lda #$11
        jsr poke_nt
        ldx #$24
        lda #$22
        jsr poke_nt
        ldx #$28
        lda #$33
        jsr poke_nt
        lda #$20
        sta PPUADDR
        lda #$00
        sta PPUADDR
        lda PPUDATA             ; the read buffer
        lda PPUDATA
        cmp #$33
        beq @vertical
        cmp #$22
        beq @horizontal
        lda #$FF
        rts
@vertical:
        lda #1
        rts
@horizontal:
        lda #0
        rts

poke_nt:
        stx PPUADDR
        ldy #0
        sty PPUADDR
        sta PPUDATA
        rts

; Selects CHR bank A (mapper 3 and 87 games; others have one bank).
select_bank:
.if MAPPER = 3
        tay
        sta bank_values,y       ; the value written matches the ROM byte
.elseif MAPPER = 87
        ; mapper 87 takes the bank number with its two low bits swapped
        pha
        and #1
        asl a
        sta ptr
        pla
        pha
        lsr a
        and #1
        ora ptr
        sta ptr
        pla
        and #$FC
        ora ptr
        sta $6000
.endif
        rts

; A = the first byte of tile $FF of pattern table 0.
read_signature:
        bit PPUSTATUS
        lda #$0F
        sta PPUADDR
        lda #$F0
        sta PPUADDR
        lda PPUDATA
        lda PPUDATA
        rts

; Writes the zero-ended text at ptr from PPU address X:A.
print:
        bit PPUSTATUS
        stx PPUADDR
        sta PPUADDR
        ldy #0
@char:  lda (ptr),y
        beq @done
        sta PPUDATA
        iny
        bne @char
@done:  rts

.macro PRINT text, row, col
        lda #<text
        sta ptr
        lda #>text
        sta ptr+1
        lda #<($2000 + (row) * 32 + (col))
        ldx #>($2000 + (row) * 32 + (col))
        jsr print
.endmacro

draw_screen:
        bit PPUSTATUS
        lda #$3F
        sta PPUADDR
        lda #$00
        sta PPUADDR
        ldx #0
@pal:   lda palette,x
        sta PPUDATA
        inx
        cpx #32
        bne @pal

        ; both name tables at $2000 and $2400 (all four through mirroring)
        lda #$20
        sta PPUADDR
        lda #$00
        sta PPUADDR
        ldy #8
        ldx #0
        lda #' '
@clear: sta PPUDATA
        inx
        bne @clear
        dey
        bne @clear
        ; attributes of $2000 back to palette 0
        lda #$23
        sta PPUADDR
        lda #$C0
        sta PPUADDR
        ldx #64
        lda #0
@attr:  sta PPUDATA
        dex
        bne @attr

        PRINT heading_text, 4, 4
        PRINT name_text, 10, 4
        PRINT info_text, 14, 4
        PRINT mirror_text, 16, 4
        PRINT bank_text, 20, 4
        ; mirroring letter after "MIRRORING "
        lda #>($2000 + 16 * 32 + 14)
        sta PPUADDR
        lda #<($2000 + 16 * 32 + 14)
        sta PPUADDR
        lda #'?'
        ldx SIG_MIRROR
        cpx #2
        bcs @letter
        lda mirror_letters,x
@letter:
        sta PPUDATA
        jsr show_bank
        rts

; Shows the bank number after "CHR BANK ".
show_bank:
        bit PPUSTATUS
        lda #>($2000 + 20 * 32 + 13)
        sta PPUADDR
        lda #<($2000 + 20 * 32 + 13)
        sta PPUADDR
        lda BANK
        clc
        adc #'0'
        sta PPUDATA
        rts

nmi:
        pha
        txa
        pha
        tya
        pha
        inc FRAMES
.if BANKS > 1
        inc tick
        lda tick
        cmp #60
        bcc @same
        lda #0
        sta tick
        ldx BANK
        inx
        cpx #BANKS
        bcc @next
        ldx #0
@next:  stx BANK
        txa
        jsr select_bank
        jsr show_bank
@same:
.endif
        lda #0
        sta PPUSCROLL
        sta PPUSCROLL
        lda #$80
        sta PPUCTRL
        pla
        tay
        pla
        tax
        pla
irq:    rti

.segment "RODATA"
bank_values:
        .byte 0, 1, 2, 3, 4, 5, 6, 7
palette:
        .byte (GAME_ID - 1) .mod 12 + 1, $30, $21, $27
        .res 12, $0F
        .byte (GAME_ID - 1) .mod 12 + 1, $30, $21, $27
        .res 12, $0F
heading_text:
        .byte .sprintf("KORVA TEST GAME %02d", GAME_ID), 0
name_text:
        .byte GAME_NAME, 0
info_text:
        .byte .sprintf("MAPPER %d PRG %dK CHR %dK", MAPPER, PRG_KB, CHR_KB), 0
mirror_text:
        .byte "MIRRORING", 0
bank_text:
        .byte "CHR BANK", 0
mirror_letters:
        .byte "HV"

.segment "VECTORS"
        .word nmi, reset, irq

.segment "CHARS"
        .incbin "game.chr"
