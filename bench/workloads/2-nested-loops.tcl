# nested while and repeat loops with a case over ranges, break and continue
proc main {} {
  set total 0; set i 0
  while {$i < 10000} {
    incr i
    set j 0
    while 1 {
      incr j
      if {$j % 7 == 0} { if {$j >= 300} break; continue }
      set m [expr {$j % 10}]
      if {$m <= 2} { incr total 1 } elseif {$m <= 5} { incr total 2 } elseif {$m == 6 || $m == 8} { incr total 3 } else { incr total -1 }
      if {$j > 200} break
      if {$j >= 300} break
    }
  }
  puts $total
}
main
